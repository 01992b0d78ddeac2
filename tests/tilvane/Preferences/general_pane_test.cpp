// The General pane without a screen, among the managers and the tray menu: what each row stores and whom it
// tells, and start at login through the XDG autostart entry or a login item that fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "Preferences/GeneralPreferencesViewController.h"
#include "Shell/MenuBar/MenuBarController.h"
#include "platform/autostart/XdgAutostart.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/l10n/Localization.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/Preferences/PreferencesFakes.h"

namespace tilvane::test {
namespace {

struct NoLanding final : LandingWindows, AnnouncementRequester {
  std::unique_ptr<LandingWindowView> makeView() override { return nullptr; }
  void requestAfter(double) override {}
};

class GeneralPaneTest : public WindowWorld {
 protected:
  GeneralPaneTest() {
    startManagers();
    menuBar_ = VkRxController::make<MenuBarController>(
        ShellServices{updater_, landing_, landing_, [] {}, [] {}, [](const std::string&) { return true; }});
    advance(0.5);  // the menu's first build
  }

  /// A pane whose view has loaded, with `loginItem` (default: the fake).
  std::unique_ptr<GeneralPreferencesViewController> loadedPane(LaunchAtLogin* loginItem = nullptr,
                                                               PreferencesViews* views = nullptr) {
    auto pane = std::make_unique<GeneralPreferencesViewController>(loginItem ? *loginItem : login_, views);
    pane->loadViewIfNeeded();
    pane->updateViewConstraints();
    return pane;
  }
  std::size_t rebuilds() { return logLines("menubar update items end").size(); }
  bool menuHas(const std::string& key) {
    for (const auto& item : menuBar_->menu().items())
      if (item->title() == NSLocalizedString(key)) return true;
    return false;
  }
  defaults::UserDefaults& stored() { return defaults::UserDefaults::standard(); }
  /// The requests one layout of every window makes.
  std::size_t requestsOfOneLayoutAll() {
    const std::size_t before = requests().size();
    LayoutManager::shared().layoutAll();
    drain();
    return requests().size() - before;
  }

  RecordingUpdater updater_;
  NoLanding landing_;
  FakeLoginItem login_;
  std::unique_ptr<MenuBarController> menuBar_;
};

// A row is applied from a stored value of its type only: nothing stored, nothing done.
TEST_F(GeneralPaneTest, WithNothingStoredTheBoxesAreEmptyAndLoadingAppliesOnlyStoredRowsOnce) {
  settledWindow();
  const std::size_t perLayout = requestsOfOneLayoutAll();
  ASSERT_GT(perLayout, 0u);
  std::vector<bool> hidden;
  rx::DisposeBag bag;
  AppBridge::hideInMenuBarChanged().subscribe([&](const bool& hide) { hidden.push_back(hide); }).disposed(bag);
  const std::size_t builds = rebuilds();
  const std::size_t before = requests().size();

  auto pane = loadedPane();
  for (const Checkbox* box : {&pane->startupCheckbox, &pane->hideMenuCheckbox, &pane->hideLayoutCheckbox,
                              &pane->gapLayoutCheckbox})
    EXPECT_EQ(box->state(), Checkbox::off);
  EXPECT_EQ(login_.disables + login_.enables, 0);
  EXPECT_EQ(hidden, std::vector<bool>{});
  drain();
  EXPECT_EQ(requests().size(), before) << "no layout from a default";
  advance(0.5);
  EXPECT_EQ(rebuilds(), builds);

  // Stored values of their types: each row is applied once.
  stored().setInteger(UserDefaultsService::launchAtLoginKey(), 0);
  stored().setInteger(UserDefaultsService::hideInMenuBarKey(), 0);
  stored().setBool(UserDefaultsService::showBuildInLayoutActionKey(), false);
  stored().setBool(UserDefaultsService::gutterEnabledKey(), false);
  advance(0.5);
  const std::size_t storedBuilds = rebuilds();
  const std::size_t storedBefore = requests().size();
  auto again = loadedPane();
  EXPECT_EQ(login_.disables, 1);
  EXPECT_EQ(hidden, std::vector<bool>{false});
  drain();
  EXPECT_EQ(requests().size() - storedBefore, perLayout) << "one layout of all windows";
  advance(0.5);
  EXPECT_EQ(rebuilds(), storedBuilds + 1);
  EXPECT_EQ(pane->startupLabel, NSLocalizedString("Startup") + " :");
  // Each grey line explains its box instead of repeating it.
  const std::pair<const Checkbox*, const std::string*> rows[] = {
      {&pane->startupCheckbox, &pane->startupIntroLabel}, {&pane->hideMenuCheckbox, &pane->hideMenuIntroLabel},
      {&pane->hideLayoutCheckbox, &pane->hideLayoutIntroLabel}, {&pane->gapLayoutCheckbox, &pane->gapLayoutIntroLabel}};
  for (const auto& [box, intro] : rows) {
    EXPECT_FALSE(intro->empty());
    EXPECT_NE(box->title(), *intro);
  }
  EXPECT_EQ(logLines("GeneralPreferencesViewController setup Layout").size(), 2u);
}

// The login item may be the user's own, or what survived a damaged settings file: only a stored integer moves it.
TEST_F(GeneralPaneTest, StartAtLoginFollowsOnlyAStoredIntegerAndOtherwiseShowsTheLoginItemAsItStands) {
  struct Case {
    const char* name;
    std::optional<defaults::Value> value;
    bool entry;
    int box;
    bool entryAfter;
    int loginItemCalls;
  };
  const Case cases[] = {{"absent, entry written", std::nullopt, true, Checkbox::on, true, 0},
                        {"absent, no entry", std::nullopt, false, Checkbox::off, false, 0},
                        {"a string", defaults::Value("maybe"), true, Checkbox::on, true, 0},
                        {"a real", defaults::Value(0.0), true, Checkbox::on, true, 0},
                        {"0", defaults::Value(0), true, Checkbox::off, false, 1},
                        {"1", defaults::Value(1), false, Checkbox::on, true, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.value)
      stored().setObject(UserDefaultsService::launchAtLoginKey(), *c.value);
    else
      stored().removeObjectForKey(UserDefaultsService::launchAtLoginKey());
    // Gaps stored as a string too: no layout of all windows from it.
    stored().setString(UserDefaultsService::gutterEnabledKey(), "yes");
    FakeLoginItem login;
    login.enabled = c.entry;
    auto pane = loadedPane(&login);
    EXPECT_EQ(pane->startupCheckbox.state(), c.box);
    EXPECT_EQ(pane->gapLayoutCheckbox.state(), Checkbox::off);
    EXPECT_EQ(login.enabled, c.entryAfter);
    EXPECT_EQ(login.enables + login.disables, c.loginItemCalls);
    EXPECT_EQ(stored().objectForKey(UserDefaultsService::gutterEnabledKey()), defaults::Value("yes")) << "kept";
  }
}

TEST_F(GeneralPaneTest, HideIconStoresAnIntegerAndHidesTheTrayIcon) {
  auto pane = loadedPane();
  std::vector<bool> hidden;
  rx::DisposeBag bag;
  AppBridge::hideInMenuBarChanged().subscribe([&](const bool& hide) { hidden.push_back(hide); }).disposed(bag);
  pane->hideMenuCheckbox.click();
  const auto value = stored().objectForKey(UserDefaultsService::hideInMenuBarKey());
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, defaults::Value(std::int64_t{1})) << "an integer, not a Boolean";
  EXPECT_EQ(hidden, std::vector<bool>{true});
  EXPECT_FALSE(menuBar_->statusBarItem().isVisible());
  pane->hideMenuCheckbox.click();
  EXPECT_EQ(stored().integerForKey(UserDefaultsService::hideInMenuBarKey()), 0);
  EXPECT_TRUE(menuBar_->statusBarItem().isVisible());
}

TEST_F(GeneralPaneTest, HideLayoutActionsRebuildsTheMenuOnceWithoutThem) {
  auto pane = loadedPane();
  advance(0.5);
  ASSERT_TRUE(menuHas("LeftHalf"));
  const std::size_t builds = rebuilds();
  pane->hideLayoutCheckbox.click();
  EXPECT_EQ(stored().objectForKey(UserDefaultsService::showBuildInLayoutActionKey()), defaults::Value(true));
  advance(0.5);
  EXPECT_EQ(rebuilds(), builds + 1);
  EXPECT_FALSE(menuHas("LeftHalf"));
  EXPECT_FALSE(menuHas("FullScreen"));
}

TEST_F(GeneralPaneTest, GapsLayOutAllWindowsOnceAtOnceEitherWay) {
  settledWindow();
  auto pane = loadedPane();
  drain();
  const std::size_t perLayout = requestsOfOneLayoutAll();
  for (int i = 0; i < 2; ++i) {
    const std::size_t before = requests().size();
    pane->gapLayoutCheckbox.click();
    EXPECT_EQ(stored().boolForKey(UserDefaultsService::gutterEnabledKey()), i == 0);
    drain();
    EXPECT_EQ(requests().size() - before, perLayout);
  }
}

TEST_F(GeneralPaneTest, LaunchAtLoginWritesAndRemovesTheAutostartEntry) {
  XdgAutostart autostart("/usr/bin/tilvane");
  const std::filesystem::path entry = xdg::configHome() / "autostart" / "tilvane.desktop";
  auto pane = loadedPane(&autostart);
  EXPECT_FALSE(std::filesystem::exists(entry));
  pane->startupCheckbox.click();
  EXPECT_TRUE(std::filesystem::exists(entry));
  EXPECT_EQ(stored().objectForKey(UserDefaultsService::launchAtLoginKey()), defaults::Value(std::int64_t{1}));
  pane->startupCheckbox.click();
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_EQ(stored().integerForKey(UserDefaultsService::launchAtLoginKey()), 0);

  // The stored state is applied again when a new pane loads.
  pane->startupCheckbox.click();
  std::filesystem::remove(entry);
  auto again = loadedPane(&autostart);
  EXPECT_EQ(again->startupCheckbox.state(), Checkbox::on);
  EXPECT_TRUE(std::filesystem::exists(entry));
}

TEST_F(GeneralPaneTest, AFailedEnableUnticksTheBoxAndTheNextTickTriesAgain) {
  auto pane = loadedPane();
  login_.succeeds = false;
  pane->startupCheckbox.click();
  EXPECT_EQ(login_.enables, 1);
  EXPECT_EQ(pane->startupCheckbox.state(), Checkbox::off);
  EXPECT_EQ(stored().objectForKey(UserDefaultsService::launchAtLoginKey()), std::nullopt) << "nothing stored";
  pane->startupCheckbox.click();
  EXPECT_EQ(login_.enables, 2) << "not taken for a repeat";
  login_.succeeds = true;
  pane->startupCheckbox.click();
  EXPECT_EQ(login_.enables, 3);
  EXPECT_EQ(pane->startupCheckbox.state(), Checkbox::on);
  EXPECT_EQ(stored().integerForKey(UserDefaultsService::launchAtLoginKey()), 1);

  // A failed disable puts the tick back, and the next untick tries again.
  login_.succeeds = false;
  const int disables = login_.disables;
  pane->startupCheckbox.click();
  EXPECT_EQ(pane->startupCheckbox.state(), Checkbox::on);
  pane->startupCheckbox.click();
  EXPECT_EQ(login_.disables, disables + 2);
  EXPECT_EQ(stored().integerForKey(UserDefaultsService::launchAtLoginKey()), 1);
}

// The settings file became unwritable: the login item goes back with the box, and the user is told.
TEST_F(GeneralPaneTest, AStartAtLoginThatCannotBeSavedTakesTheLoginItemBackAndSaysSo) {
  FakeViews views;
  auto pane = loadedPane(nullptr, &views);
  std::filesystem::create_directories(stored().filePath() / "in the way");
  pane->startupCheckbox.click();
  EXPECT_EQ(pane->startupCheckbox.state(), Checkbox::off);
  EXPECT_EQ(login_.enables, 1);
  EXPECT_EQ(login_.disables, 1) << "to follow what is stored";
  EXPECT_EQ(views.alerts, std::vector<std::string>{NSLocalizedString("SettingNotSaved")});
}

}  // namespace
}  // namespace tilvane::test
