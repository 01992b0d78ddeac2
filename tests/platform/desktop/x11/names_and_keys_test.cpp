// Naming applications (desktop entries, window types) and telling the desktop shortcut from other keys.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/x11/DesktopEntries.h"
#include "platform/desktop/x11/WindowProperties.h"
#include "platform/desktop/x11/X11EventTap.h"
#include "support/TestEnvironment.h"

namespace tilvane::x11 {
namespace {

void write(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

TEST(DesktopEntryTest, AClassIsMatchedByStartupWmClassFirstThenByIdInTheEarliestFolder) {
  test::ScopedTempDir dir;
  const auto home = dir.path() / "home", system = dir.path() / "system";
  const auto entry = [](const std::filesystem::path& file, const std::string& lines) {
    write(file, "[Desktop Entry]\nType=Application\n" + lines);
  };
  entry(system / "org.example.Editor.desktop", "Name=System Editor\nStartupWMClass=ExEdit\n");
  entry(home / "org.example.Editor.desktop", "Name=My Editor\nStartupWMClass=ExEdit\n");
  entry(system / "foo.desktop", "Name=Foo by id\n");
  entry(system / "bar.desktop", "Name=Bar\nStartupWMClass=Foo\n");
  write(system / "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nStartupWMClass=Link\n");
  const auto index = DesktopEntryIndex::scan({home, system, dir.path() / "missing"});
  const auto nameOf = [&](const std::string& instance, const std::string& className) {
    const DesktopEntry* e = index.match(WmClass{instance, className});
    return e ? e->name : "none";
  };
  EXPECT_EQ(nameOf("exedit", "ExEdit"), "My Editor");  // the earlier folder wins
  EXPECT_EQ(nameOf("foo", "Foo"), "Bar");              // StartupWMClass beats an id that merely matches
  EXPECT_EQ(nameOf("x", "FOO"), "Foo by id");          // ids match whatever the case
  EXPECT_EQ(nameOf("link", "Link"), "none");           // not an application
  EXPECT_EQ(nameOf("unknown", "Unknown"), "none");
}

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
