// The hot keys sharing the X11 desktop backend's connection: the backend hands them its keyboard events.
#include <gtest/gtest.h>

#include "platform/base/SharedInstance.h"
#include "platform/desktop/EventPosting.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"
#include "platform/hotkeys/x11/user/KeyboardUser.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {
namespace {

constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9;
constexpr CGEventFlags kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;

class X11DesktopHotKeysTest : public X11BackendTest {};

TEST_F(X11DesktopHotKeysTest, PressesReachTheMonitorThroughTheBackendUntilTheHotKeysGo) {
  KeyboardUser user(display());
  ASSERT_TRUE(user.ok());
  auto hotKeys = std::make_unique<tilvane::x11::X11DesktopHotKeys>(desktop());
  auto scope = std::make_unique<HotKeyServer::Scope>(hotKeys->server());
  int runs = 0;
  ASSERT_TRUE(MASShortcutMonitor::sharedMonitor().registerShortcut(MASShortcut(kVK_ANSI_8, kControlOption),
                                                                   [&] { ++runs; }));
  user.typeKeysym({kControlL, kAltL}, '8');
  ASSERT_TRUE(waitUntil([&] { return runs == 1; }));

  // Gone, the hot keys let the key go and the backend feeds nobody.
  SharedInstances::resetAll();
  scope.reset();
  hotKeys.reset();
  const xcb_keycode_t eight = user.keycodeOf('8');
  EXPECT_EQ(user.grab(eight, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1), 0);
  user.ungrab(eight, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
  user.typeKeysym({kControlL, kAltL}, '8');
  catchUp();
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace tilvane::test::x11

namespace tilvane::test::x11 {
namespace {

TEST_F(X11DesktopHotKeysTest, PostedKeysFollowAChangedKeyboardMapping) {
  KeyboardUser user(display());
  ASSERT_TRUE(user.ok());
  constexpr CGKeyCode kVirtualQ = 0x0C;
  const auto post = [] {
    CGEventPost(CGEventTapLocation::hid, *CGEventCreateKeyboardEvent(kVirtualQ, true));
    CGEventPost(CGEventTapLocation::hid, *CGEventCreateKeyboardEvent(kVirtualQ, false));
  };
  const auto nextPress = [&]() -> std::optional<xcb_key_press_event_t> {
    std::optional<xcb_key_press_event_t> press;
    waitUntil([&] { return (press = probe().nextKeyPress()).has_value(); });
    return press;
  };
  const xcb_keycode_t q = probe().grabKey('q');
  ASSERT_NE(q, 0);
  post();  // the backend has read the keyboard now
  auto press = nextPress();
  ASSERT_TRUE(press);
  EXPECT_EQ(press->detail, q);

  MovedKey moved(user, q, xcb_keycode_t{248});  // a key code the test keyboard leaves without symbols
  catchUp();                                     // the backend hears of both changes
  ASSERT_EQ(probe().grabKey('q'), 248);
  post();
  press = nextPress();
  ASSERT_TRUE(press);
  EXPECT_EQ(press->detail, 248);
}

}  // namespace
}  // namespace tilvane::test::x11
