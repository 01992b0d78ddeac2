#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FakeBundles.h"
#include "platform/apps/DesktopEntryFile.h"
#include "platform/apps/DesktopEntryIndex.h"
#include "platform/apps/XdgApplicationSource.h"
#include "support/TestEnvironment.h"

namespace tilvane::apps {
namespace {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

std::string entry(const std::string& name, const std::string& extra = {}) {
  return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + name + "\n" + extra;
}

TEST(DesktopEntryFile, ReadsTheEntryGroupOnly) {
  const auto parsed = parseDesktopEntryFile(
      "# comment\n[Desktop Entry]\nType = Application\nName=Text\\sEditor\xFF\nName[de]=Texteditor\n"
      "Icon=/usr/share/icons/editor.png\nNoDisplay=true\nExec=editor %F\nStartupWMClass = XTerm \n"
      "[Desktop Action new]\nName=New Window\nHidden=true\nStartupWMClass=Other\n");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->type, "Application");
  EXPECT_EQ(parsed->name, "Text Editor\xEF\xBF\xBD");  // invalid UTF-8 is never passed on
  EXPECT_EQ(parsed->startupWmClass, "XTerm");
  EXPECT_EQ(parsed->icon, "/usr/share/icons/editor.png");
  EXPECT_EQ(parsed->exec, "editor %F");
  EXPECT_TRUE(parsed->noDisplay);
  EXPECT_FALSE(parsed->hidden);
  EXPECT_EQ(parseDesktopEntryFile("[Other]\nName=x\n"), std::nullopt);
  EXPECT_EQ(parseDesktopEntryFile("Name=x\nType=Application\n"), std::nullopt);
}

TEST(DesktopEntryFile, IdsFollowTheApplicationsFolder) {
  const std::vector<fs::path> folders{"/home/u/.local/share/applications", "/usr/share/applications"};
  EXPECT_EQ(desktopEntryId("/usr/share/applications/kde/konsole.desktop", folders), "kde-konsole");
  EXPECT_EQ(desktopEntryId("/home/u/.local/share/applications/org.example.Editor.desktop", folders),
            "org.example.Editor");
  EXPECT_EQ(desktopEntryId("/opt/tools/../tools/tool.desktop", folders), "tool");
  EXPECT_EQ(desktopEntryId("/usr/share/applications/../other/x.desktop", folders), "x");
}

TEST(DesktopEntryFile, ExecIsSplitWithoutAShell) {
  EXPECT_EQ(splitExec("editor %F", {"a b.txt", ""}), (Words{"editor", "a b.txt", ""}));
  EXPECT_EQ(splitExec("editor", {"-n", "x"}), (Words{"editor", "-n", "x"}));
  EXPECT_EQ(splitExec("\"/opt/My App/run\" --name=\"a \\\"b\\\"\" %u %i", {"$(reboot)"}),
            (Words{"/opt/My App/run", "--name=a \"b\"", "$(reboot)"}));
  EXPECT_EQ(splitExec("run 100%% --file=%f", {"x.txt", "y.txt"}), (Words{"run", "100%", "--file=x.txt"}));
  EXPECT_EQ(splitExec("run \"unterminated", {}), std::nullopt);
  EXPECT_EQ(splitExec("   ", {}), std::nullopt);
  EXPECT_EQ(splitExec("%F", {}), std::nullopt);
}

TEST(DesktopEntryTest, AClassIsMatchedByStartupWmClassFirstThenByIdInTheEarliestFolder) {
  test::ScopedTempDir dir;
  const auto home = dir.path() / "home", system = dir.path() / "system";
  const auto entry = [](const std::filesystem::path& file, const std::string& lines) {
    test::writeText(file, "[Desktop Entry]\nType=Application\n" + lines);
  };
  entry(system / "org.example.Editor.desktop", "Name=System Editor\nStartupWMClass=ExEdit\n");
  entry(home / "org.example.Editor.desktop", "Name=My Editor\nStartupWMClass=ExEdit\n");
  entry(system / "foo.desktop", "Name=Foo by id\n");
  entry(system / "bar.desktop", "Name=Bar\nStartupWMClass=Foo\n");
  test::writeText(system / "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nStartupWMClass=Link\n");
  const auto index = DesktopEntryIndex::scan({home, system, dir.path() / "missing"});
  const auto nameOf = [&](const std::string& instance, const std::string& className) {
    const DesktopEntry* e = index.match(className, instance);
    return e ? e->name : "none";
  };
  EXPECT_EQ(nameOf("exedit", "ExEdit"), "My Editor");  // the earlier folder wins
  EXPECT_EQ(nameOf("foo", "Foo"), "Bar");              // StartupWMClass beats an id that merely matches
  EXPECT_EQ(nameOf("x", "FOO"), "Foo by id");          // ids match whatever the case
  EXPECT_EQ(nameOf("link", "Link"), "none");           // not an application
  EXPECT_EQ(nameOf("unknown", "Unknown"), "none");
}


class XdgSourceTest : public ::testing::Test {
 protected:
  fs::path home() const { return temp_.path() / "home"; }
  fs::path system() const { return temp_.path() / "system"; }
  void write(const fs::path& dataDir, const std::string& relative, const std::string& text) {
    test::writeText(dataDir / "applications" / relative, text);
  }
  XdgApplicationSource source() const { return XdgApplicationSource({home(), system()}); }

  test::ScopedTempDir temp_;
};

TEST_F(XdgSourceTest, ListsApplicationsOnceLeavingOutAgentsAndDeletedOnes) {
  write(system(), "org.example.Mail.desktop", entry("Mail", "Icon=mail\n"));
  write(system(), "kde/konsole.desktop", entry("Konsole"));
  write(system(), "tray.desktop", entry("Tray", "NoDisplay=true\n"));
  write(system(), "gone.desktop", entry("Gone"));
  write(system(), "link.desktop", "[Desktop Entry]\nType=Link\nName=Site\nURL=https://example.org\n");
  write(system(), "notes.txt", entry("Notes"));
  write(home(), "gone.desktop", entry("Gone", "Hidden=true\n"));  // the user's copy hides the system one
  write(home(), "org.example.Mail.desktop", entry("My Mail"));

  const auto paths = source().applicationPaths();
  EXPECT_EQ(paths, (std::vector<std::string>{(system() / "applications/kde/konsole.desktop").string(),
                                             (home() / "applications/org.example.Mail.desktop").string()}));
  const auto mail = source().applicationInfo(paths[1]);
  ASSERT_TRUE(mail);
  EXPECT_EQ(*mail, (InstalledApplication{"My Mail", "org.example.Mail", ""}));
  EXPECT_EQ(source().applicationInfo(paths[0])->bundleIdentifier, "kde-konsole");
  EXPECT_EQ(source().iconForPath((system() / "applications/org.example.Mail.desktop").string()), "mail");
  EXPECT_EQ(source().iconForPath(paths[1]), std::nullopt);

  // Entries and bundles picked by hand, outside the folders.
  test::writeText(temp_.path() / "picked" / "tool.desktop", "[Desktop Entry]\nType=Application\nIcon=/i/t.png\n");
  test::makeBundle(temp_.path() / "picked" / "Old.app", {{"CFBundleName", "Old"}, {"CFBundleIdentifier", "o"}});
  // No Name: the id stands in.
  EXPECT_EQ(source().applicationInfo((temp_.path() / "picked" / "tool.desktop").string()),
            (InstalledApplication{"tool", "tool", "/i/t.png"}));
  EXPECT_EQ(source().applicationInfo((temp_.path() / "picked" / "Old.app").string())->bundleIdentifier, "o");
  EXPECT_EQ(source().applicationInfo((temp_.path() / "picked" / "missing.desktop").string()), std::nullopt);
}

TEST_F(XdgSourceTest, AnEntryOutsideTheFoldersIsKnownByTheIdItsWindowsCarry) {
  write(system(), "org.example.Terminal.desktop", entry("Terminal", "StartupWMClass=Example-terminal\n"));
  write(home(), "ruled.desktop", entry("Ruled", "StartupWMClass=RuledClass\n"));
  const auto picked = [&](const std::string& name, const std::string& text) {
    test::writeText(temp_.path() / "Desktop" / name, text);
    const auto app = source().applicationInfo((temp_.path() / "Desktop" / name).string());
    return app ? app->bundleIdentifier : "unreadable";
  };
  // Its windows are named by their class, which the entry gives.
  EXPECT_EQ(picked("myterm.desktop", entry("My Term", "StartupWMClass=MyTerm\n")), "MyTerm");
  // A launcher copied from an installed entry: its windows are that entry's.
  EXPECT_EQ(picked("terminal.desktop", entry("Terminal", "StartupWMClass=Example-terminal\n")),
            "org.example.Terminal");
  // Without one, its program's, as toolkits make it: through an installed entry that claims it, else itself.
  EXPECT_EQ(picked("tool.desktop", "[Desktop Entry]\nType=Application\nExec=/opt/bin/gizmo --big %F\n"), "Gizmo");
  EXPECT_EQ(picked("copy.desktop", entry("ruled")), "ruled");
  // With neither there is nothing better than its name.
  EXPECT_EQ(picked("bare.desktop", "[Desktop Entry]\nType=Application\nName=Bare\n"), "bare");
  // Inside the folders the desktop-file id stays, whatever the class.
  EXPECT_EQ(source().applicationInfo((home() / "applications/ruled.desktop").string())->bundleIdentifier, "ruled");
}

TEST_F(XdgSourceTest, EnvironmentGivesDataHomeThenDataDirs) {
  test::ScopedEnv dataHome("XDG_DATA_HOME", home().string());
  test::ScopedEnv dataDirs("XDG_DATA_DIRS", system().string() + ":/nonexistent");
  EXPECT_EQ(XdgApplicationSource().applicationFolders(),
            (std::vector<fs::path>{home() / "applications", system() / "applications",
                                   fs::path("/nonexistent") / "applications"}));
}

}  // namespace
}  // namespace tilvane::apps
