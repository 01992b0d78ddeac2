#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "GeometryWorld.h"
#include "platform/defaults/UserDefaults.h"

namespace tilvane {
namespace {

using Kind = sim::SimWindowRequest::Kind;
using Sent = std::vector<std::tuple<Kind, double, double>>;

class PlacementTest : public test::GeometryWorld {};

// Every placement of the program (layout operations, built-in actions, workspace items, window moves) comes here.
// Without the gap each caller keeps its own order; with it every caller goes size, position, size.
TEST_F(PlacementTest, GaplessInTheCallersOrderElseSizePositionSizeInsetByTheGap) {
  const std::pair<GaplessOrder, Sent> cases[] = {
      {GaplessOrder::positionSizePosition, {{Kind::position, 0, 23}, {Kind::size, 800, 600}, {Kind::position, 0, 23}}},
      {GaplessOrder::sizePositionSize, {{Kind::size, 800, 600}, {Kind::position, 0, 23}, {Kind::size, 800, 600}}},
      {GaplessOrder::setFrame, {{Kind::position, 0, 23}, {Kind::size, 800, 600}}},
  };
  const Sent gapped{{Kind::size, 784, 584}, {Kind::position, 8, 31}, {Kind::size, 784, 584}};
  sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
  auto& apps = sim().applications();
  const pid_t pid = apps.addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  SIWindow window(apps.windowsOf(pid).front());
  for (const auto& [order, gapless] : cases) {
    for (const bool gap : {false, true}) {
      defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), gap);
      apps.clearRequests();
      placeFrame(window, CGRectMake(0, 23, 800, 600), order);
      Sent sent;
      for (const auto& r : apps.requests()) sent.emplace_back(r.kind, r.a, r.b);
      EXPECT_EQ(sent, gap ? gapped : gapless) << "gap " << gap << ", order " << static_cast<int>(order);
    }
  }
}

bool near(const CGRect& a, const CGRect& b) { return framesNear(a, b, 1e-6); }

bool within(const CGRect& frame, const CGRect& bounds) {
  return frame.minX() >= bounds.minX() - 1e-6 && frame.minY() >= bounds.minY() - 1e-6 &&
         frame.maxX() <= bounds.maxX() + 1e-6 && frame.maxY() <= bounds.maxY() + 1e-6;
}

// A window's own frame is remembered as the place whose placement gives it that frame again. Placed on a display
// of another size, or with the gap setting changed, a window that lay inside its display lies inside the one it
// is put on, grown by at most the gap on each side; back where and as it was recorded, it stands exactly there.
TEST_F(PlacementTest, ARememberedFrameComesBackExactlyAndStaysInsideOtherDisplaysAndGaps) {
  // Window space: the small display is the primary one, the large one stands beside it, tops level.
  const CGRect small = CGRectMake(0, 0, 1280, 800);
  const CGRect large = CGRectMake(1280, -280, 1920, 1080);
  sim().addDisplay({.frame = CGRectMake(0, 0, 1280, 800)});
  sim().addDisplay({.frame = CGRectMake(1280, 0, 1920, 1080)});
  const auto visibleOf = [&](const CGRect& w) {
    return w == small ? CGRectMake(0, 0, 1280, 800) : CGRectMake(1280, 0, 1920, 1080);
  };
  const struct {
    const char* what;
    CGRect frame, from, to;
    bool gapThen, gapNow;
    std::optional<CGRect> want;  // where the window lands; else only inside `to`, at most the gap larger
  } cases[] = {
      {"inside, gaps on", CGRectMake(305, 274, 544, 264), small, small, true, true, CGRectMake(305, 274, 544, 264)},
      {"against every edge, gaps on", small, small, small, true, true, small},
      {"top-left corner, gaps turned off", CGRectMake(0, 0, 500, 300), small, small, true, false,
       CGRectMake(0, 0, 508, 308)},
      {"top, right and bottom, gaps turned off", CGRectMake(700, 0, 580, 800), small, small, true, false,
       CGRectMake(692, 0, 588, 800)},
      {"top-left corner, gaps turned on", CGRectMake(0, 0, 500, 300), small, small, false, true,
       CGRectMake(8, 8, 484, 284)},
      {"top-left corner to a larger display", CGRectMake(0, 0, 500, 300), small, large, true, true, std::nullopt},
      {"the whole small display to the larger", small, small, large, true, true, large},
      {"right half of the large display to the smaller, gaps turned off", CGRectMake(2240, -280, 960, 1080), large,
       small, true, false, std::nullopt},
      {"gaps off, top-left to a larger display", CGRectMake(0, 0, 500, 300), small, large, false, false, std::nullopt},
      {"partly off the left edge, gaps turned off: the gap around it", CGRectMake(-100, 200, 500, 300), small, small,
       true, false, CGRectMake(-108, 192, 516, 316)},
  };
  const auto setGap = [](bool on) {
    defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), on);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    setGap(c.gapThen);
    const RecordedPlace place = recordedPlace(c.frame, visibleOf(c.from));
    setGap(c.gapNow);
    const CGRect placed = insetByGap(askedFrame(place, visibleOf(c.to)), placementGap());
    if (c.want) {
      EXPECT_TRUE(near(placed, *c.want)) << placed;
      continue;
    }
    EXPECT_TRUE(within(placed, c.to)) << placed;
    const double scale = c.to.size.width / c.from.size.width;
    EXPECT_LE(placed.size.width, c.frame.size.width * scale + 16) << placed;
    if (c.frame.minX() == c.from.minX()) {
      EXPECT_NEAR(placed.minX(), c.to.minX(), 1e-6) << "stays against the edge";
    }
    // Sent back with the gap it came with: where it was.
    setGap(c.gapThen);
    const CGRect back =
        insetByGap(askedFrame(recordedPlace(placed, visibleOf(c.to)), visibleOf(c.from)), placementGap());
    if (c.gapThen == c.gapNow) {
      EXPECT_TRUE(near(back, c.frame)) << back;
    }
  }
}

}  // namespace
}  // namespace tilvane
