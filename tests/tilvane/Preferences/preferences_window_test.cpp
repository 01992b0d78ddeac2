// The preferences window without a screen: its panes and toolbar, the open-preferences event and its pane
// rules, the Advanced button, the Updates and About panes, and check requests reaching the updater.
#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"
#include "Preferences/PreferencesViewController.h"
#include "Shell/URLSchemeHandler.h"
#include "Shell/UpdateManager.h"
#include "platform/l10n/Localization.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/Preferences/PreferencesFakes.h"

namespace tilvane::test {
namespace {

class PreferencesWindowTest : public WindowWorld {
 protected:
  std::unique_ptr<PreferencesViewController> make(PreferencesViews* views) {
    return VkRxController::make<PreferencesViewController>(PreferencesServices{
        updater_,
        [this](const std::string& url) {
          opened_.push_back(url);
          return true;
        },
        &login_, views, BundleVersion{"1.2", "34"}});
  }

  RecordingUpdater updater_;
  FakeLoginItem login_;
  FakeViews views_;
  std::vector<std::string> opened_;
};

TEST_F(PreferencesWindowTest, FourPanesInATitledToolbarWithTheAdvancedButtonAtItsEnd) {
  auto preferences = make(&views_);
  const auto& window = views_.window;
  EXPECT_EQ(window.title, NSLocalizedString("PreferencesTitle"));
  ASSERT_EQ(window.items.size(), 4u);
  const char* keys[] = {"General", "HotKeys", "Updates", "About"};
  const char* images[] = {"PreferenceGeneral", "PreferenceHotkeys", "PreferenceUpdates", "PreferenceAbout"};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(window.items[i].label, " " + NSLocalizedString(keys[i]) + "\u3000");
    EXPECT_EQ(window.items[i].image, images[i]);
  }
  const auto& panes = preferences->preferenceViewController()->viewControllers();
  EXPECT_EQ(panes[2]->identifier(), "UpdatesPreferencesViewController");
  EXPECT_EQ(panes[2]->viewIdentifier(), panes[2]->className());
  EXPECT_EQ(window.accessory.title, NSLocalizedString("Advanced"));
  EXPECT_EQ(window.accessory.image, "PreferenceAdvanced");
  EXPECT_TRUE(views_.views.empty()) << "no pane view is made before the window shows";
  EXPECT_EQ(logLines("preference controller setup start").size(), 1u);
  EXPECT_EQ(logLines("preference controller setup end").size(), 1u);

  int advanced = 0;
  rx::DisposeBag bag;
  AppBridge::openAdvanced().subscribe([&](const rx::Unit&) { ++advanced; }).disposed(bag);
  window.accessory.onTap();
  window.accessory.onTap();
  EXPECT_EQ(advanced, 2) << "one event per tap";
}

TEST_F(PreferencesWindowTest, OpenPreferencesShowsTheWindowAtTheAskedPane) {
  auto preferences = make(&views_);
  const auto& window = views_.window;
  AppBridge::openPreferences().onNext(-1);
  EXPECT_EQ(window.shows, 1);
  EXPECT_EQ(sim().program().activationsIgnoringOtherApps(), 1);
  ASSERT_EQ(window.shownPanes.size(), 1u);
  EXPECT_EQ(window.shownPanes[0].first, 0) << "the first pane, the first time";
  EXPECT_EQ(window.shownPanes[0].second, (Constants::Size{680, 280}));
  EXPECT_EQ(logLines("GeneralPreferencesViewController setup UI").size(), 1u);
  EXPECT_EQ(logLines("GeneralPreferencesViewController setup ViewModel").size(), 1u);

  for (const int pane : {1, 2, 3}) {
    AppBridge::openPreferences().onNext(pane);
    EXPECT_EQ(window.shownPanes.back().first, pane);
    EXPECT_EQ(preferences->preferenceViewController()->selectedIndex(), pane);
  }
  const std::size_t switches = window.shownPanes.size();
  AppBridge::openPreferences().onNext(0);
  AppBridge::openPreferences().onNext(4);
  AppBridge::openPreferences().onNext(-1);
  EXPECT_EQ(window.shownPanes.size(), switches) << "0, -1 and an index past the last keep the pane shown";
  EXPECT_EQ(preferences->preferenceViewController()->selectedIndex(), 3);
  EXPECT_EQ(window.shows, 7);
  EXPECT_EQ(sim().program().activationsIgnoringOtherApps(), 7);

  window.onSelect(1);  // the toolbar
  EXPECT_EQ(window.shownPanes.back().first, 1);
  EXPECT_EQ(views_.views, (std::vector<std::string>{"General", "HotKeys", "Updates", "About"}))
      << "each view made once";
  EXPECT_EQ(logLines("HotKeysPreferencesViewController setup UI").size(), 1u);
}

TEST_F(PreferencesWindowTest, WithoutAWindowOpeningStillActivatesTheProgram) {
  auto preferences = make(nullptr);
  EXPECT_EQ(preferences->preferenceViewController()->window(), nullptr);
  AppBridge::openPreferences().onNext(2);
  EXPECT_EQ(preferences->preferenceViewController()->selectedIndex(), 2);
  EXPECT_EQ(sim().program().activationsIgnoringOtherApps(), 1);
}

TEST_F(PreferencesWindowTest, UpdatesPaneWritesTheUpdatersSettingsAndItsButtonRunsACheck) {
  auto preferences = make(nullptr);
  UpdatesPreferencesViewController& pane = preferences->updates();
  pane.loadViewIfNeeded();
  EXPECT_EQ(pane.updatesCheckbox.state(), Checkbox::off);
  EXPECT_EQ(updater_.calls, (std::vector<std::string>{"checks off", "downloads off"})) << "the view's first load";
  updater_.calls.clear();
  pane.updatesCheckbox.click();
  EXPECT_EQ(updater_.calls, (std::vector<std::string>{"checks on", "downloads off", "interval 86400"}));
  updater_.calls.clear();
  pane.updatesCheckbox.click();
  EXPECT_EQ(updater_.calls, (std::vector<std::string>{"checks off", "downloads off"})) << "the interval stays";
  updater_.calls.clear();

  // The button and the URL action reach the updater through the update manager.
  UpdateManager::shared().setup(updater_);
  updater_.calls.clear();
  pane.updatesButton.press();
  EXPECT_EQ(updater_.calls, std::vector<std::string>{"check"});
  URLSchemeHandler().handleGetURLEvent("tilvane://action?target=updates");
  EXPECT_EQ(updater_.calls, (std::vector<std::string>{"check", "check"}));
}

TEST_F(PreferencesWindowTest, UpdatesPaneShowsAutomaticChecksOnAndSetsTheirTerms) {
  updater_.automaticChecks = true;
  auto preferences = make(nullptr);
  preferences->updates().loadViewIfNeeded();
  EXPECT_EQ(preferences->updates().updatesCheckbox.state(), Checkbox::on);
  EXPECT_EQ(updater_.calls, (std::vector<std::string>{"checks on", "downloads off", "interval 86400"}));
}

TEST_F(PreferencesWindowTest, UpdatesPaneClickThatCannotBeSavedIsSaidAndTheBoxShowsTheStoredFlag) {
  auto preferences = make(&views_);
  UpdatesPreferencesViewController& pane = preferences->updates();
  pane.loadViewIfNeeded();
  updater_.savesFlag = false;
  updater_.calls.clear();
  pane.updatesCheckbox.click();
  EXPECT_EQ(pane.updatesCheckbox.state(), Checkbox::off);
  EXPECT_EQ(updater_.calls, std::vector<std::string>{"checks on"}) << "nothing else set on a refused flag";
  EXPECT_EQ(views_.alerts, std::vector<std::string>{NSLocalizedString("SettingNotSaved")});
}

TEST_F(PreferencesWindowTest, UpdatesPaneAppliesNothingFromADefaultWhenTheStoredFlagCouldNotBeRead) {
  updater_.automaticChecksKnown = false;
  auto preferences = make(nullptr);
  preferences->updates().loadViewIfNeeded();
  EXPECT_TRUE(updater_.calls.empty());
  preferences->updates().updatesCheckbox.click();
  EXPECT_EQ(updater_.calls, (std::vector<std::string>{"checks on", "downloads off", "interval 86400"}));
}

TEST_F(PreferencesWindowTest, AboutPaneShowsTheVersionAndOpensTheHomePageAndFeedback) {
  EXPECT_EQ(AboutPreferencesViewController::versionLine({"1.2", "34"}), "Version 1.2 (build 34)");
  EXPECT_EQ(AboutPreferencesViewController::versionLine({std::nullopt, "34"}), "Version  (build 34)");
  EXPECT_EQ(AboutPreferencesViewController::versionLine({"1.2", std::nullopt}), "Version 1.2 (build )");
  auto preferences = make(nullptr);
  AboutPreferencesViewController& pane = preferences->about();
  EXPECT_EQ(pane.versionLabel, "Version 1.2 (build 34)");
  pane.loadViewIfNeeded();
  pane.websiteButton.press();
  EXPECT_EQ(opened_, std::vector<std::string>{Constants::Url::home()});
  pane.feedbackButton.press();
  pane.feedbackButton.press();
  EXPECT_EQ(updater_.calls, (std::vector<std::string>{"feedback", "feedback"}));
  EXPECT_EQ(opened_.size(), 1u);
}

}  // namespace
}  // namespace tilvane::test
