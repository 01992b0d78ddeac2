// A placement's own reports are told from changes someone else makes: by the frames it asked for, not by time.
#include <gtest/gtest.h>

#include "AppManager/Geometry/PlacedFrames.h"
#include "AppManager/Geometry/Placement.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "GeometryWorld.h"
#include "platform/defaults/UserDefaults.h"

namespace tilvane {
namespace {

class PlacedFramesTest : public test::GeometryWorld {
 protected:
  PlacedFramesTest() {
    sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
    auto& apps = sim().applications();
    const pid_t pid =
        apps.addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{.frame = CGRectMake(100, 100, 400, 300)}}});
    window_.emplace(apps.windowsOf(pid).front());
  }
  SIWindow& window() { return *window_; }
  PlacedFrames& placed() { return PlacedFrames::shared(); }

 private:
  std::optional<SIWindow> window_;
};

TEST_F(PlacedFramesTest, ReportsOnTheWayAndAtTheAskedFrameAreTheEchoAnythingElseEndsThePlacement) {
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  placeFrame(window(), CGRectMake(0, 23, 720, 877), GaplessOrder::positionSizePosition);
  // Size first with the gap: the old origin with the new size, then the asked frame (pixels rounded).
  EXPECT_TRUE(placed().isEcho(window(), CGRectMake(100, 100, 704, 861)));
  EXPECT_TRUE(placed().isEcho(window(), CGRectMake(8, 31, 704, 861)));
  EXPECT_TRUE(placed().isEcho(window(), CGRectMake(9.5, 30.5, 703, 862)));
  EXPECT_FALSE(placed().isEcho(window(), CGRectMake(100, 100, 704, 861))) << "arrived: no longer on its way";
  EXPECT_FALSE(placed().isEcho(window(), CGRectMake(8, 31, 704, 861))) << "a move ended the placement";

  // A user's move before any report: recorded, whatever it keeps of the asked frame.
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), false);
  placeFrame(window(), CGRectMake(0, 23, 720, 877), GaplessOrder::setFrame);
  EXPECT_FALSE(placed().isEcho(window(), CGRectMake(40, 23, 720, 877)));

  // Kept on the screen by a further request: where it was asked first is now a step on the way.
  placeFrame(window(), CGRectMake(1000, 23, 720, 877), GaplessOrder::setFrame);
  placed().movedOn(window(), {712, 23});
  EXPECT_TRUE(placed().isEcho(window(), CGRectMake(1000, 23, 720, 877)));
  EXPECT_TRUE(placed().isEcho(window(), CGRectMake(712, 23, 720, 877)));

  placed().forget(window());
  EXPECT_FALSE(placed().isEcho(window(), CGRectMake(712, 23, 720, 877))) << "no placement: every report counts";
}

// Placed again before the window manager answered (gaps switched off and on at once): the first placement's
// reports, late, are no one's move; once the second arrived they are, and a placement that had arrived leaves
// nothing behind.
TEST_F(PlacedFramesTest, AnEarlierPlacementNotYetArrivedStaysOnTheWayOfTheNext) {
  const CGRect first = CGRectMake(0, 23, 720, 877), second = CGRectMake(8, 31, 704, 861);
  placeFrame(window(), first, GaplessOrder::setFrame);
  placeFrame(window(), second, GaplessOrder::setFrame);
  EXPECT_TRUE(placed().isEcho(window(), first));
  EXPECT_TRUE(placed().isEcho(window(), CGRect{second.origin, first.size}));
  EXPECT_TRUE(placed().isEcho(window(), second));
  EXPECT_FALSE(placed().isEcho(window(), first)) << "arrived: the first one's frame is a move now";

  placeFrame(window(), first, GaplessOrder::setFrame);
  EXPECT_TRUE(placed().isEcho(window(), first));
  placeFrame(window(), second, GaplessOrder::setFrame);
  EXPECT_FALSE(placed().isEcho(window(), first)) << "the first had arrived";
}

}  // namespace
}  // namespace tilvane
