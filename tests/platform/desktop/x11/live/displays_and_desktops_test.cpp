// Displays, desktops, desktop switching and the window-manager check on the one-monitor test desktop: a
// 1920x1080 screen with openbox (4 desktops) and a 24-pixel tray along the bottom.
#include <gtest/gtest.h>

#include "platform/base/Uuid.h"
#include "platform/desktop/EventPosting.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/NSScreen.h"
#include "platform/desktop/WindowServer.h"
#include "platform/desktop/x11/ScreenLayout.h"
#include "support/x11/KeyboardUser.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {
namespace {

class X11DisplaysTest : public X11BackendTest {};

TEST_F(X11DisplaysTest, TheMonitorIsOneDisplayLessTheTrayWithFourSharedDesktopsKnownAgainAfterARestart) {
  const auto screens = NSScreen::screens();
  ASSERT_EQ(screens.size(), 1u);
  EXPECT_EQ(screens[0].frame, CGRectMake(0, 0, 1920, 1080));
  // Display space: y grows upwards, so the tray's 24 pixels at the bottom lift the visible frame's origin.
  EXPECT_EQ(screens[0].visibleFrame, CGRectMake(0, 24, 1920, 1056));
  EXPECT_EQ(NSScreen::mainScreen(), screens[0]);
  EXPECT_FALSE(NSScreen::screensHaveSeparateSpaces());

  const auto listing = CGSCopyManagedDisplaySpaces();
  ASSERT_TRUE(listing && listing->size() == 1u && listing->front().spaces);
  const ManagedDisplay& d = listing->front();
  ASSERT_TRUE(d.displayIdentifier && isUuidString(*d.displayIdentifier));
  ASSERT_EQ(d.spaces->size(), 4u);
  EXPECT_EQ(d.currentSpace, d.spaces->at(static_cast<std::size_t>(probe().currentDesktop())));
  for (const ManagedSpace& s : *d.spaces) EXPECT_TRUE(s.uuid && isUuidString(*s.uuid));
  disconnect();  // as a restart of the program
  ASSERT_TRUE(reconnect());
  EXPECT_EQ(CGSCopyManagedDisplaySpaces(), listing);
}

TEST_F(X11DisplaysTest, AfterAResolutionChangeTheTrayStillComesOffTheBottomEdge) {
  // The backend connected at 1920x1080; its connection's setup data keeps that size. Xvfb can only go below
  // the size it started with.
  runCommand({"xrandr", "--newmode", "1600x900", "118.25", "1600", "1696", "1856", "2112", "900", "903", "908",
              "934"});  // fails harmlessly when an earlier run made it
  runCommand({"xrandr", "--addmode", "screen", "1600x900"});
  ASSERT_EQ(runCommand({"xrandr", "--output", "screen", "--mode", "1600x900"}), 0);
  const std::shared_ptr<void> restore(
      nullptr, [](void*) { runCommand({"xrandr", "--output", "screen", "--mode", "1920x1080"}); });
  const auto layout = tilvane::x11::ScreenLayout::query(desktop().connection());
  ASSERT_EQ(layout.displays().size(), 1u);
  const auto& only = layout.displays()[0];
  EXPECT_EQ(only.monitor.rect, (tilvane::x11::PixelRect{0, 0, 1600, 900}));
  // The tray's strut is measured from the bottom of the screen as it is now, not as it was.
  EXPECT_EQ(only.usable, (tilvane::x11::PixelRect{0, 0, 1600, 900 - 24}));
}

TEST_F(X11DisplaysTest, ASwitchByAnotherProgramIsNotifiedOnceAndOnlyWhenTheDesktopChanges) {
  int changes = 0;
  const auto subscription =
      desktop().notificationCenter().activeSpaceDidChange().subscribe([&](const rx::Unit&) { ++changes; });
  ASSERT_NE(probe().currentDesktop(), 1);
  probe().switchDesktop(1);  // a pager switches
  ASSERT_TRUE(waitUntil([&] { return changes == 1; }));
  // To the desktop already shown: nothing is said. The window manager handles requests in order, so once the
  // next switch is seen, that one has been handled too.
  probe().switchDesktop(1);
  probe().switchDesktop(3);
  ASSERT_TRUE(waitUntil([&] { return changes >= 2 && probe().currentDesktop() == 3; }));
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(CGSCopyManagedDisplaySpaces()->front().currentSpace, CGSCopyManagedDisplaySpaces()->front().spaces->at(3));
  EXPECT_FALSE(desktop().switchToDesktop(4));
}

}  // namespace
}  // namespace tilvane::test::x11

namespace tilvane::test::x11 {
namespace {

class X11EventTapTest : public X11BackendTest {};

TEST_F(X11EventTapTest, OtherKeysAreTypedWithTheirModifiersOnTheKeyThatTypesThemNow) {
  const auto postA = [] {
    auto down = CGEventCreateKeyboardEvent(0x00, true);  // the virtual key of "A"
    CGEventSetFlags(*down, kCGEventFlagMaskShift | kCGEventFlagMaskAlternate);
    CGEventPost(CGEventTapLocation::hid, *down);
    CGEventPost(CGEventTapLocation::hid, *CGEventCreateKeyboardEvent(0x00, false));
  };
  std::optional<xcb_key_press_event_t> press;
  const auto pressed = [&] { return waitUntil([&] { return (press = probe().nextKeyPress()).has_value(); }); };
  const xcb_keycode_t a = probe().grabKey('a');
  ASSERT_NE(a, 0);
  postA();
  ASSERT_TRUE(pressed());
  EXPECT_EQ(press->detail, a);
  EXPECT_EQ(press->state & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_1 | XCB_MOD_MASK_CONTROL),
            XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_1);  // Shift and Alt

  KeyboardUser user(display());
  MovedKey moved(user, a, xcb_keycode_t{248});  // a key code the test keyboard leaves without symbols
  catchUp();                                     // the backend hears of both changes
  ASSERT_EQ(probe().grabKey('a'), 248);
  postA();
  ASSERT_TRUE(pressed());
  EXPECT_EQ(press->detail, 248);
}

TEST_F(X11EventTapTest, MouseMovesWarpThePointerInTheWindowSpace) {
  const auto moved = CGEventCreateMouseEvent(CGEventType::mouseMoved, CGPoint{500, 400}, CGMouseButton::left);
  ASSERT_TRUE(moved);
  CGEventPost(CGEventTapLocation::hid, *moved);
  ASSERT_TRUE(waitUntil([&] { return probe().pointer() == std::make_pair(500, 400); }));
}

}  // namespace
}  // namespace tilvane::test::x11
