#include <gtest/gtest.h>

#include <vector>

#include "AppManager/Geometry/DesktopSwitch.h"
#include "AppManager/Geometry/NSScreenExtension.h"
#include "GeometryWorld.h"

namespace tilvane {
namespace {

using sim::PostedEvent;
using Posted = std::vector<PostedEvent>;

class ScreenExtension : public test::GeometryWorld {
 protected:
  Posted keysFor(int position) {
    sim().clearPostedEvents();
    switchToDesktop(position);
    return sim().postedEvents();
  }
  static Posted controlDigit(CGKeyCode key) {
    return {
        PostedEvent{CGEventTapLocation::hid, CGEvent{CGEventType::keyDown, key, kCGEventFlagMaskControl, {}, {}}},
        PostedEvent{CGEventTapLocation::hid, CGEvent{CGEventType::keyUp, key, 0, {}, {}}}};
  }
};

TEST_F(ScreenExtension, ThePrimaryDisplayIsTheFirstAtTheOriginElseTheFirstListed) {
  EXPECT_FALSE(NSScreenExtension::primary());
  sim().addDisplay({.frame = CGRectMake(-1440, 0, 1440, 900)});
  EXPECT_EQ(NSScreenExtension::primary()->frame, CGRectMake(-1440, 0, 1440, 900));
  sim().addDisplay({.frame = CGRectMake(0, 0, 1920, 1080)});
  sim().addDisplay({.frame = CGRectMake(0, 0, 800, 600)});
  EXPECT_EQ(NSScreenExtension::primary()->frame, CGRectMake(0, 0, 1920, 1080));
}

TEST_F(ScreenExtension, DesktopSwitchesPostControlAndTheDigitOfThePosition) {
  // Positions 0 and 10 share the 0 key; there is no key past the tenth desktop.
  const std::pair<int, int> keys[] = {{0, 29}, {1, 18}, {9, 25}, {10, 29}, {11, -1}, {-1, -1}};
  for (const auto& [position, key] : keys)
    EXPECT_EQ(keysFor(position), key < 0 ? Posted{} : controlDigit(static_cast<CGKeyCode>(key))) << position;
  // An event that cannot be made is skipped and the other still posted.
  sim().refuseEventCreation([](const CGEvent& e) { return e.type == CGEventType::keyDown; });
  EXPECT_EQ(keysFor(5), Posted{controlDigit(23)[1]});
}

}  // namespace
}  // namespace tilvane
