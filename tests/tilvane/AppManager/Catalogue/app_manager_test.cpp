#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/ExtensionAppModel.h"
#include "platform/apps/BundleFolderSource.h"
#include "platform/apps/XdgApplicationSource.h"
#include "platform/apps/FakeBundles.h"
#include "platform/store/Database.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

namespace fs = std::filesystem;
using defaults::Dictionary;

Dictionary info(const std::string& name, const std::string& identifier, const std::string& icon = "AppIcon") {
  return {{"CFBundleName", name}, {"CFBundleIdentifier", identifier}, {"CFBundleIconFile", icon}};
}

std::vector<std::string> names(const std::vector<AppDescriptor>& apps) {
  std::vector<std::string> out;
  for (const auto& app : apps) out.push_back(app.name);
  return out;
}

class AppManagerTest : public test::WorldTest {
 protected:
  AppManagerTest() { StoreService::shared().configureRealm(); }

  fs::path applications() const { return tempDir() / "Applications"; }
  std::string bundle(const std::string& name) const { return (applications() / name).string(); }
  AppManager bundleCatalogue() const {
    return AppManager(std::make_unique<apps::BundleFolderSource>(applications().string()));
  }
  void addByHand(const std::string& path) {
    auto model = std::make_shared<ExtensionAppModel>();
    model->setPath(path);
    auto db = store::Database::open();
    db->write([&] { StoreService::shared().addUpdating(*db, model); });
  }
  std::vector<std::string> storedPaths() const {
    std::vector<std::string> paths;
    for (const auto& app : StoreService::shared().extensionApps()) paths.push_back(app->path());
    return paths;
  }
};

TEST_F(AppManagerTest, CatalogueOfAFolderOfBundlesOrOfDesktopEntriesIsSortedWithFinder) {
  test::makeBundle(applications() / "Mail.app", info("Mail", "com.example.mail"));
  test::makeBundle(applications() / "Utilities" / "Terminal.app", info("Terminal", "com.example.terminal"));
  test::makeBundle(applications() / "Helper.app", {{"CFBundleName", "Helper"}, {"CFBundleIdentifier", "h"},
                                                    {"LSUIElement", true}});
  test::makeBundle(applications() / "Anonymous.app", {{"CFBundleName", "Anonymous"}});
  test::makeBundle(applications() / "alpha.app", info("alpha", "com.example.alpha"));
  AppManager catalogue = bundleCatalogue();
  catalogue.loadApps();
  // Agents and applications without an identifier are left out; capitals sort before small letters.
  EXPECT_EQ(names(catalogue.apps()), (std::vector<std::string>{"Finder", "Mail", "Terminal", "alpha"}));
  EXPECT_EQ(catalogue.apps()[2].icon, bundle("Utilities/Terminal.app") + "/Contents/Resources/AppIcon.icns");
  catalogue.apps().push_back({"Extra", "x", ""});
  catalogue.loadApps();  // a rebuild replaces the list whole
  EXPECT_EQ(catalogue.apps().size(), 4u);

  const fs::path dataDir = tempDir() / "share";
  test::writeText(dataDir / "applications" / "org.example.Mail.desktop",
                  "[Desktop Entry]\nType=Application\nName=Mail\nIcon=mail\nExec=mail\n");
  test::writeText(dataDir / "applications" / "gnome" / "calendar.desktop",
                  "[Desktop Entry]\nType=Application\nName=Calendar\nIcon=/icons/cal.svg\nExec=cal\n");
  AppManager entries(std::make_unique<apps::XdgApplicationSource>(std::vector<fs::path>{dataDir}));
  entries.loadApps();
  EXPECT_EQ(entries.apps(), (std::vector<AppDescriptor>{{"Calendar", "gnome-calendar", "/icons/cal.svg"},
                                                        AppManager::finderApp(),
                                                        {"Mail", "org.example.Mail", "mail"}}));
}

TEST_F(AppManagerTest, HandAddedApplicationsFollowAndVanishWithTheirBundle) {
  test::makeBundle(applications() / "Mail.app", info("Mail", "com.example.mail"));
  test::makeBundle(tempDir() / "Elsewhere" / "Zed.app", info("Zed", "com.example.zed"));
  test::makeBundle(tempDir() / "Elsewhere" / "NoId.app", {{"CFBundleName", "Aardvark"}});
  addByHand((tempDir() / "Elsewhere" / "Zed.app").string());
  addByHand((tempDir() / "Elsewhere" / "Gone.app").string());
  addByHand((tempDir() / "Elsewhere" / "NoId.app").string());
  addByHand(bundle("Mail.app"));

  AppManager catalogue = bundleCatalogue();
  catalogue.loadApps();
  // Appended in stored order, unsorted, kept without identifier, and an installed one listed twice.
  EXPECT_EQ(names(catalogue.apps()), (std::vector<std::string>{"Finder", "Mail", "Zed", "Aardvark", "Mail"}));
  EXPECT_EQ(catalogue.apps()[3].bundleID, "");
  EXPECT_EQ(storedPaths(), (std::vector<std::string>{(tempDir() / "Elsewhere" / "Zed.app").string(),
                                                     (tempDir() / "Elsewhere" / "NoId.app").string(),
                                                     bundle("Mail.app")}));

  fs::remove_all(tempDir() / "Elsewhere" / "Zed.app");
  catalogue.loadApps();
  EXPECT_EQ(names(catalogue.apps()), (std::vector<std::string>{"Finder", "Mail", "Aardvark", "Mail"}));
  EXPECT_EQ(storedPaths().size(), 2u);
}

TEST_F(AppManagerTest, IconLookups) {
  test::makeBundle(applications() / "Mail.app", info("Mail", "com.example.mail", "Mail.icns"));
  test::makeBundle(applications() / "Plain.app", {{"CFBundleIdentifier", "com.example.plain"}});
  AppManager catalogue = bundleCatalogue();
  EXPECT_EQ(catalogue.iconForBundleID("com.example.mail"), std::nullopt);  // nothing loaded yet
  catalogue.loadApps();

  const std::string mailIcon = bundle("Mail.app") + "/Contents/Resources/Mail.icns";
  EXPECT_EQ(catalogue.icon("", "com.apple.finder"), "Finder");
  EXPECT_EQ(catalogue.icon("", "com.example.mail"), mailIcon);
  EXPECT_EQ(catalogue.icon("", ""), std::nullopt);
  EXPECT_EQ(catalogue.icon("file://" + bundle("Mail.app"), "ignored"), mailIcon);
  // With a path given, the identifier is not consulted, even when the bundle declares no icon.
  EXPECT_EQ(catalogue.icon(bundle("Plain.app"), "com.example.mail"), std::nullopt);
  EXPECT_EQ(catalogue.iconForBundleID("com.example.unknown"), std::nullopt);
  EXPECT_EQ(catalogue.iconForBundleID("com.example.MAIL"), std::nullopt);
}

TEST_F(AppManagerTest, SharedInstanceReadsTheEnvironmentsDesktopEntries) {
  test::ScopedEnv dirs("XDG_DATA_DIRS", (tempDir() / "none").string());
  test::writeText(tempDir() / "data" / "applications" / "org.example.Notes.desktop",
                  "[Desktop Entry]\nType=Application\nName=Notes\nExec=notes\n");
  AppManager::shared().loadApps();
  EXPECT_EQ(names(AppManager::shared().apps()), (std::vector<std::string>{"Finder", "Notes"}));
}

}  // namespace
}  // namespace tilvane
