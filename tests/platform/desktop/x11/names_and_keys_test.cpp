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

TEST(DesktopEntryTest, IdsFollowTheFolderAndTheEarlierFolderWins) {
  test::ScopedTempDir dir;
  const auto home = dir.path() / "home", system = dir.path() / "system";
  write(system / "applications/kde/konsole.desktop", "[Desktop Entry]\nType=Application\nName=Konsole\n");
  write(system / "applications/org.example.Editor.desktop",
        "[Desktop Entry]\nType=Application\nName=System Editor\nStartupWMClass=ExEdit\n");
  write(home / "applications/org.example.Editor.desktop",
        "[Desktop Entry]\nType=Application\nName=My Editor\nStartupWMClass=ExEdit\n");
  write(system / "applications/broken.desktop", std::string(200000, 'x'));
  write(system / "applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nStartupWMClass=Link\n");
  const auto index =
      DesktopEntryIndex::scan({home / "applications", system / "applications", dir.path() / "missing"});
  ASSERT_EQ(index.entries().size(), 2u);

  const DesktopEntry* editor = index.match(WmClass{"exedit", "ExEdit"});
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->id, "org.example.Editor");
  EXPECT_EQ(editor->name, "My Editor");
  const DesktopEntry* konsole = index.match(WmClass{"konsole", "Konsole"});
  EXPECT_EQ(konsole, nullptr);  // its id is "kde-konsole"
  EXPECT_NE(index.match(WmClass{"kde-konsole", "Kde-konsole"}), nullptr);
  EXPECT_EQ(index.match(WmClass{"unknown", "Unknown"}), nullptr);
  EXPECT_EQ(index.match(WmClass{"link", "Link"}), nullptr);  // not an application
}

TEST(DesktopEntryTest, StartupWmClassBeatsAnIdThatMerelyMatches) {
  test::ScopedTempDir dir;
  write(dir.path() / "applications/foo.desktop", "[Desktop Entry]\nType=Application\nName=Foo by id\n");
  write(dir.path() / "applications/bar.desktop",
        "[Desktop Entry]\nType=Application\nName=Bar\nStartupWMClass=Foo\n");
  const auto index = DesktopEntryIndex::scan({dir.path() / "applications"});
  EXPECT_EQ(index.match(WmClass{"foo", "Foo"})->id, "bar");
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
