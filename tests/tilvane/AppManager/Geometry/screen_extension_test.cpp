#include <gtest/gtest.h>

#include <vector>

#include "AppManager/Geometry/DesktopSwitch.h"
#include "AppManager/Geometry/NSScreenExtension.h"
#include "GeometryWorld.h"

namespace tilvane {
namespace {

using sim::PostedEvent;

class PrimaryScreen : public test::GeometryWorld {};

TEST_F(PrimaryScreen, IsTheFirstDisplayAtTheOriginElseTheFirstListed) {
  EXPECT_FALSE(NSScreenExtension::primary());
  sim().addDisplay({.frame = CGRectMake(-1440, 0, 1440, 900)});
  EXPECT_EQ(NSScreenExtension::primary()->frame, CGRectMake(-1440, 0, 1440, 900));
  sim().addDisplay({.frame = CGRectMake(0, 0, 1920, 1080)});
  EXPECT_EQ(NSScreenExtension::primary()->frame, CGRectMake(0, 0, 1920, 1080));
  sim().addDisplay({.frame = CGRectMake(0, 0, 800, 600)});
  EXPECT_EQ(NSScreenExtension::primary()->frame, CGRectMake(0, 0, 1920, 1080));
}

class DesktopSwitchKeys : public test::GeometryWorld {
 protected:
  std::vector<PostedEvent> keysFor(int position) {
    sim().clearPostedEvents();
    switchToDesktop(position);
    return sim().postedEvents();
  }
  static std::vector<PostedEvent> controlDigit(CGKeyCode key) {
    return {PostedEvent{CGEventTapLocation::hid, CGEvent{CGEventType::keyDown, key, kCGEventFlagMaskControl, {}, {}}},
            PostedEvent{CGEventTapLocation::hid, CGEvent{CGEventType::keyUp, key, 0, {}, {}}}};
  }
};

TEST_F(DesktopSwitchKeys, PostControlAndTheDigitOfThePosition) {
  const std::vector<CGKeyCode> digitRow{29, 18, 19, 20, 21, 23, 22, 26, 28, 25, 29};
  for (int position = 0; position <= 10; ++position)
    EXPECT_EQ(keysFor(position), controlDigit(digitRow[static_cast<std::size_t>(position)])) << position;
  EXPECT_TRUE(keysFor(11).empty());
  EXPECT_TRUE(keysFor(-1).empty());
  // An event that cannot be made is skipped and the other still posted.
  sim().refuseEventCreation([](const CGEvent& e) { return e.type == CGEventType::keyDown; });
  EXPECT_EQ(keysFor(5), (std::vector<PostedEvent>{controlDigit(23)[1]}));
}

TEST_F(DesktopSwitchKeys, TheDesktopChangesOnlyAfterTheKeysAreHandled) {
  sim().addDisplay({.frame = CGRectMake(0, 0, 100, 100)});
  int changes = 0;
  auto sub = sim().notificationCenter().activeSpaceDidChange().subscribe([&](rx::Unit) { ++changes; });
  switchToDesktop(3);
  EXPECT_EQ(changes, 0);
  drain();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(sim().currentSpaceUuid(), sim().spaceUuids()[2]);
}

class MouseCentring : public test::GeometryWorld {};

TEST_F(MouseCentring, PostsOneMoveToTheCentreInWindowSpace) {
  NSScreenExtension::moveMouseToCenter(NSScreen{CGRectMake(0, 0, 100, 100), CGRectMake(0, 0, 100, 100)});
  EXPECT_TRUE(sim().postedEvents().empty()) << "no display";
  sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
  const NSScreen upper{CGRectMake(-1920, 900, 1920, 1080), CGRectMake(-1920, 900, 1920, 1080)};
  NSScreenExtension::moveMouseToCenter(upper);
  ASSERT_EQ(sim().postedEvents().size(), 1u);
  const CGEvent& e = sim().postedEvents()[0].event;
  EXPECT_EQ(sim().postedEvents()[0].tap, CGEventTapLocation::hid);
  EXPECT_EQ(e.type, CGEventType::mouseMoved);
  EXPECT_EQ(e.button, CGMouseButton::left);
  EXPECT_EQ(e.flags, 0u);
  // The centre is 1,440 points up from the bottom of the primary display: 540 points above its top edge.
  EXPECT_EQ(e.location, (CGPoint{-960, -540}));

  sim().clearPostedEvents();
  NSScreenExtension::moveMouseToCenter(*NSScreen::mainScreen());
  EXPECT_EQ(sim().postedEvents()[0].event.location, (CGPoint{720, 450}));
  sim().clearPostedEvents();
  sim().refuseEventCreation([](const CGEvent&) { return true; });
  NSScreenExtension::moveMouseToCenter(*NSScreen::mainScreen());
  EXPECT_TRUE(sim().postedEvents().empty());
}

}  // namespace
}  // namespace tilvane
