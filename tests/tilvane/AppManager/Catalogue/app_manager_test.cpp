#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/ExtensionAppModel.h"
#include "platform/apps/BundleFolderSource.h"
#include "platform/apps/FakeBundles.h"
#include "platform/store/Database.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

defaults::Dictionary info(const std::string& name, const std::string& identifier) {
  return {{"CFBundleName", name}, {"CFBundleIdentifier", identifier}, {"CFBundleIconFile", name}};
}

class AppManagerTest : public test::WorldTest {
 protected:
  AppManagerTest() {
    StoreService::shared().configureRealm();
    test::makeBundle(applications() / "Mail.app", info("Mail", "com.example.mail"));
  }

  fs::path applications() const { return tempDir() / "Applications"; }
  std::string bundle(const std::string& name) const { return (applications() / name).string(); }
  std::string elsewhere(const std::string& name) const { return (tempDir() / "Elsewhere" / name).string(); }
  Names loadedNames() {
    catalogue.loadApps();
    Names names;
    for (const auto& app : catalogue.apps()) names.push_back(app.name);
    return names;
  }
  void addByHand(const std::string& path) {
    auto model = std::make_shared<ExtensionAppModel>();
    model->setPath(path);
    auto db = store::Database::open();
    db->write([&] { StoreService::shared().addUpdating(*db, model); });
  }

  AppManager catalogue{std::make_unique<apps::BundleFolderSource>(applications().string())};
};

TEST_F(AppManagerTest, SortedInstalledApplicationsWithFinderThenHandAddedOnesWhileTheirBundleLasts) {
  test::makeBundle(applications() / "Utilities" / "Terminal.app", info("Terminal", "com.example.terminal"));
  test::makeBundle(applications() / "Helper.app", {{"CFBundleName", "Helper"}, {"CFBundleIdentifier", "h"},
                                                    {"LSUIElement", true}});
  test::makeBundle(applications() / "Anonymous.app", {{"CFBundleName", "Anonymous"}});
  test::makeBundle(applications() / "alpha.app", info("alpha", "com.example.alpha"));
  test::makeBundle(elsewhere("Zed.app"), info("Zed", "com.example.zed"));
  test::makeBundle(elsewhere("NoId.app"), {{"CFBundleName", "Aardvark"}});
  for (const auto& path : {elsewhere("Zed.app"), elsewhere("Gone.app"), elsewhere("NoId.app"), bundle("Mail.app")})
    addByHand(path);

  // Agents and installed applications without an identifier are left out; capitals sort before small letters.
  // Hand-added ones follow in stored order, unsorted, kept without identifier, an installed one listed twice.
  EXPECT_EQ(loadedNames(), (Names{"Finder", "Mail", "Terminal", "alpha", "Zed", "Aardvark", "Mail"}));
  EXPECT_EQ(StoreService::shared().extensionApps().size(), 3u);  // the unreadable one's record is deleted

  fs::remove_all(elsewhere("Zed.app"));
  catalogue.apps().push_back({"Extra", "x", ""});
  EXPECT_EQ(loadedNames(), (Names{"Finder", "Mail", "Terminal", "alpha", "Aardvark", "Mail"}));  // rebuilt whole
  EXPECT_EQ(StoreService::shared().extensionApps().size(), 2u);
}

TEST_F(AppManagerTest, IconLookups) {
  test::makeBundle(applications() / "Plain.app", {{"CFBundleIdentifier", "com.example.plain"}});
  EXPECT_EQ(catalogue.iconForBundleID("com.example.mail"), std::nullopt);  // nothing loaded yet
  catalogue.loadApps();

  const std::string mailIcon = bundle("Mail.app") + "/Contents/Resources/Mail.icns";
  EXPECT_EQ(catalogue.icon("", "com.apple.finder"), "Finder");
  EXPECT_EQ(catalogue.icon("", "com.example.mail"), mailIcon);
  EXPECT_EQ(catalogue.icon("", ""), std::nullopt);
  EXPECT_EQ(catalogue.icon("file://" + bundle("Mail.app"), "ignored"), mailIcon);
  // With a path given, the identifier is not consulted, even when the bundle declares no icon.
  EXPECT_EQ(catalogue.icon(bundle("Plain.app"), "com.example.mail"), std::nullopt);
  EXPECT_EQ(catalogue.iconForBundleID("com.example.MAIL"), std::nullopt);
}

TEST_F(AppManagerTest, SharedInstanceReadsTheEnvironmentsDesktopEntries) {
  test::ScopedEnv dirs("XDG_DATA_DIRS", (tempDir() / "none").string());
  test::writeText(tempDir() / "data" / "applications" / "org.example.Notes.desktop",
                  "[Desktop Entry]\nType=Application\nName=Notes\nExec=notes\n");
  const test::ScopedEnv configDirs("XDG_CONFIG_DIRS", (tempDir() / "etc").string());
  AppManager::shared().loadApps();
  // Nothing here opens folders: no file manager stands first.
  EXPECT_EQ(AppManager::shared().apps(), (std::vector<AppDescriptor>{{"Notes", "org.example.Notes", ""}}));

  // The file manager takes the place of the bundles' Finder, once, under its own name, sorted with the rest.
  test::writeText(tempDir() / "data" / "applications" / "org.example.Files.desktop",
                  "[Desktop Entry]\nType=Application\nName=Files\nIcon=folder\nExec=files\nMimeType=inode/directory;\n");
  AppManager::shared().loadApps();
  EXPECT_EQ(AppManager::shared().apps(), (std::vector<AppDescriptor>{{"Files", "org.example.Files", "folder"},
                                                                     {"Notes", "org.example.Notes", ""}}));
}

// A launcher added by hand whose class is guessed from its program ("Xclock") names the windows that say
// "XClock"; any other entry only its own identifier, case and all.
TEST_F(AppManagerTest, AGuessedClassOfALauncherAddedByHandFindsItsWindowsClassInAnyCase) {
  test::ScopedEnv dirs("XDG_DATA_DIRS", (tempDir() / "none").string());
  test::writeText(tempDir() / "data" / "applications" / "org.example.Notes.desktop",
                  "[Desktop Entry]\nType=Application\nName=Notes\nIcon=notes\nExec=notes\n");
  const fs::path clock = tempDir() / "Desktop" / "clock.desktop";
  test::writeText(clock, "[Desktop Entry]\nType=Application\nName=Clock\nIcon=/i/clock.png\nExec=xclock -d\n");
  auto record = std::make_shared<ExtensionAppModel>();
  record->setPath(clock.string());
  const auto database = store::Database::open();
  database->write([&] { database->add(record); });
  AppManager::shared().loadApps();
  EXPECT_EQ(AppManager::shared().apps().back().bundleID, "Xclock");
  EXPECT_EQ(AppManager::shared().iconForBundleID("XClock"), "/i/clock.png");
  EXPECT_EQ(AppManager::shared().iconForBundleID("org.example.NOTES"), std::nullopt);
}

}  // namespace
}  // namespace tilvane
