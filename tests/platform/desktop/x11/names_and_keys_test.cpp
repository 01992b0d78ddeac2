// Naming windows (window types) and displays, and telling the desktop shortcut from other keys.
#include <gtest/gtest.h>

#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/x11/DisplayIdentity.h"
#include "platform/desktop/x11/WindowProperties.h"
#include "platform/desktop/x11/X11EventTap.h"

namespace tilvane::x11 {
namespace {

TEST(WindowTypeTest, SubroleFollowsTheFirstKnownType) {
  Atoms a;
  a._NET_WM_WINDOW_TYPE_NORMAL = 10;
  a._NET_WM_WINDOW_TYPE_DIALOG = 11;
  a._NET_WM_WINDOW_TYPE_UTILITY = 12;
  a._NET_WM_WINDOW_TYPE_DOCK = 13;
  EXPECT_EQ(subroleForTypes({}, a, false), "AXStandardWindow");
  EXPECT_EQ(subroleForTypes({}, a, true), "AXDialog");
  EXPECT_EQ(subroleForTypes({999, 10}, a, true), "AXStandardWindow");
  EXPECT_EQ(subroleForTypes({11, 10}, a, false), "AXDialog");
  EXPECT_EQ(subroleForTypes({12}, a, false), "AXFloatingWindow");
  EXPECT_EQ(subroleForTypes({13}, a, false), "AXUnknown");
  EXPECT_EQ(subroleForTypes({0, 999}, a, false), "AXStandardWindow");
}

// One program instance serves one display, so every way of writing a display must name it alike.
TEST(DisplayIdentityTest, NamesTheDisplayWhateverScreenOrLocalHostIsWritten) {
  const std::pair<const char*, const char*> cases[] = {
      {":1", ":1"}, {":1.0", ":1"}, {":1.1", ":1"}, {"unix:1", ":1"}, {":12", ":12"},
      {"localhost:10.0", "localhost:10"}, {"other.example:0", "other.example:0"}, {"not a display", "not a display"},
  };
  for (const auto& [name, identity] : cases) EXPECT_EQ(displayIdentity(name), identity) << name;
}

TEST(DesktopShortcutTest, ControlZeroIsTheTenthAndDeviceBitsDoNotMatter) {
  CGEvent e;
  e.type = CGEventType::keyDown;
  e.keyCode = kVK_ANSI_3;
  e.flags = kCGEventFlagMaskControl;
  EXPECT_EQ(X11EventTap::desktopShortcutPosition(e), 3);
  e.keyCode = kVK_ANSI_0;
  EXPECT_EQ(X11EventTap::desktopShortcutPosition(e), 10);
  e.flags = kCGEventFlagMaskControl | 0x100;  // a device-dependent bit does not matter
  EXPECT_EQ(X11EventTap::desktopShortcutPosition(e), 10);
}

}  // namespace
}  // namespace tilvane::x11
