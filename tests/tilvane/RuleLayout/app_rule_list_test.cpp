// The Apps pane's list without a screen: the search over names, adding an application through the chooser, and
// the selection published to the layout engine.
#include <gtest/gtest.h>

#include <deque>

#include "AppManager/Catalogue/AppManager.h"
#include "Models/ExtensionAppModel.h"
#include "PaneWorld.h"
#include "RuleLayout/AppRuleList.h"
#include "platform/apps/FakeBundles.h"

namespace tilvane::test {
namespace {

namespace fs = std::filesystem;

// Answers each panel with the next path (none: cancelled).
class FakeChooser final : public AppChooser {
 public:
  explicit FakeChooser(std::deque<std::optional<std::string>>& answers) : answers_(answers) {}
  std::optional<std::string> chooseApplication() override {
    if (answers_.empty()) return std::nullopt;
    auto answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

 private:
  std::deque<std::optional<std::string>>& answers_;
};

std::vector<std::string> names(const std::vector<AppDescriptor>& apps) {
  std::vector<std::string> out;
  for (const auto& app : apps) out.push_back(app.name);
  return out;
}

class AppRuleListTest : public PaneWorld {
 protected:
  AppRuleListTest() {
    AppManager::shared().apps() = {{"Mailer", "org.example.mailer", ""},
                                   {"Photo Viewer", "org.example.viewer", ""},
                                   {"Shell", "org.example.photoshell", ""}};
    list.load();
  }
  std::string desktopEntry(const std::string& name) {
    const fs::path file = tempDir() / "picked" / (name + ".desktop");
    writeText(file, "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\nIcon=utilities-terminal\n");
    return file.string();
  }
  std::vector<std::string> storedPaths() {
    std::vector<std::string> paths;
    for (const auto& record : StoreService::shared().extensionApps()) paths.push_back(record->path());
    return paths;
  }

  std::deque<std::optional<std::string>> answers;
  AppRuleList list{std::make_unique<FakeChooser>(answers)};
};

TEST_F(AppRuleListTest, TheSearchMatchesNamesOnlyInAnyCaseAnywhere) {
  list.filter("PHO");
  EXPECT_EQ(names(list.apps()), std::vector<std::string>{"Photo Viewer"});  // not "Shell" (its identifier)
  list.filter("IEW");
  EXPECT_EQ(names(list.apps()), std::vector<std::string>{"Photo Viewer"});
  list.filter("zzz");
  EXPECT_TRUE(list.apps().empty());
  list.filter(std::nullopt);
  EXPECT_EQ(list.apps(), list.allApps());
  EXPECT_TRUE(appNameMatches("Éditeur", "éDI"));  // letters beyond ASCII too
}

TEST_F(AppRuleListTest, AnAddedApplicationIsAppendedStoredAndPublishedWhenSelected) {
  list.filter("pho");
  const std::string entry = desktopEntry("Terminal Emulator");
  answers = {entry};
  ASSERT_EQ(list.add(), AppRuleList::AddResult::added);
  // Last row even though the search text does not match it; the view then selects that row.
  EXPECT_EQ(names(list.apps()), (std::vector<std::string>{"Photo Viewer", "Terminal Emulator"}));
  list.selectionDidChange(static_cast<int>(list.apps().size()) - 1);
  ASSERT_EQ(chosen.size(), 1u);
  // Known by the class its program ("true") gives its windows.
  EXPECT_EQ(chosen[0], (AppDescriptor{"Terminal Emulator", "True", "utilities-terminal"}));
  EXPECT_EQ(AppManager::shared().apps().back(), chosen[0]);
  EXPECT_EQ(storedPaths(), std::vector<std::string>{entry});

  // An application bundle folder is read too; clearing the search shows both added ones.
  const fs::path bundle = tempDir() / "picked" / "Notes.app";
  makeBundle(bundle, {{"CFBundleName", std::string("Notes")}, {"CFBundleIdentifier", std::string("org.example.notes")}});
  answers = {bundle.string()};
  ASSERT_EQ(list.add(), AppRuleList::AddResult::added);
  list.filter("");
  EXPECT_EQ(names(list.apps()),
            (std::vector<std::string>{"Mailer", "Photo Viewer", "Shell", "Terminal Emulator", "Notes"}));
  EXPECT_EQ(storedPaths().size(), 2u);
}

TEST_F(AppRuleListTest, WhatCannotBeAddedChangesNothing) {
  writeText(tempDir() / "notes.txt", "just text");
  fs::create_directories(tempDir() / "Plain folder");
  fs::create_directories(tempDir() / "Empty.app");  // a bundle without its description
  writeText(tempDir() / "link.desktop", "[Desktop Entry]\nType=Link\nName=Web\nURL=http://127.0.0.1/\n");
  const std::string kinds[] = {"notes.txt", "Plain folder", "Empty.app", "link.desktop", "Upper.APP"};
  for (const std::string& kind : kinds) {
    SCOPED_TRACE(kind);
    answers = {(tempDir() / kind).string()};
    EXPECT_EQ(list.add(), AppRuleList::AddResult::unsupported);
  }
  answers = {std::nullopt};
  EXPECT_EQ(list.add(), AppRuleList::AddResult::cancelled);
  EXPECT_EQ(list.allApps().size(), 3u);
  EXPECT_EQ(AppManager::shared().apps().size(), 3u);
  EXPECT_TRUE(storedPaths().empty());
}

TEST_F(AppRuleListTest, OnlyARowOnShowIsPublished) {
  list.filter("mail");
  list.selectionDidChange(-1);
  list.selectionDidChange(1);
  EXPECT_TRUE(chosen.empty());
  list.selectionDidChange(0);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].bundleID, "org.example.mailer");
}

TEST_F(AppRuleListTest, AnAdditionTheStoreRefusesIsLoggedAndKeptForThisRun) {
  breakDatabase();
  const std::string entry = desktopEntry("Editor");
  answers = {entry};
  ASSERT_EQ(list.add(), AppRuleList::AddResult::added);
  EXPECT_EQ(names(list.apps()).back(), "Editor");
  EXPECT_TRUE(log.contains("🔴 could not store the added application \"" + entry + "\""));
}

}  // namespace
}  // namespace tilvane::test
