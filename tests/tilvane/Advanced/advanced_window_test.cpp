// The advanced window without a toolkit: its three panes in order with their labels, images and sizes, the Guide
// button, and each AppBridge::openAdvanced showing the same window at the pane it shows.
#include <gtest/gtest.h>

#include "Advanced/AdvancedViewController.h"
#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Store/StoreService.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"
#include "tilvane/Preferences/PreferencesFakes.h"

namespace tilvane::test {
namespace {

/// Views without a toolkit: a recording window and empty pane views.
struct FakeAdvancedViews final : AdvancedViews {
  std::unique_ptr<PaneWindowView> makeWindow() override { return std::make_unique<FakePaneWindow>(window); }
  std::unique_ptr<PaneView> makeView(WorkspacePreferencesViewController&) override { return made("Spaces"); }
  std::unique_ptr<PaneView> makeView(RuleLayoutPreferencesViewController&) override { return made("Apps"); }
  std::unique_ptr<PaneView> makeView(CustomLayoutPreferencesViewController&) override { return made("Layouts"); }
  CustomLayoutViews* customLayoutViews() override { return nullptr; }
  WorkspaceViews* workspaceViews() override { return nullptr; }
  WorkspaceDialogs* workspaceDialogs() override { return nullptr; }
  std::unique_ptr<PaneView> made(const std::string& pane) {
    views.push_back(pane);
    return std::make_unique<FakePaneView>(alerts);
  }
  FakeWindowState window;
  std::vector<std::string> views;
  std::vector<std::string> alerts;
};

class AdvancedWindowTest : public WorldTest {
 protected:
  AdvancedWindowTest() { StoreService::shared().configureRealm(); }

  sim::SimDesktop desktop;
  Desktop::Scope desktopScope{desktop};
  FakeAdvancedViews views;
  std::vector<std::string> opened;
  std::unique_ptr<AdvancedViewController> advanced = VkRxController::make<AdvancedViewController>(AdvancedServices{
      [this](const std::string& url) {
        opened.push_back(url);
        return true;
      },
      &views});
};

TEST_F(AdvancedWindowTest, ThreePanesInOrderWithTheirLabelsImagesAndSizesAndTheGuideButtonAtTheToolbarsEnd) {
  const FakeWindowState& window = views.window;
  EXPECT_EQ(window.title, "Tilvane Advanced");
  ASSERT_EQ(window.items.size(), 3u);
  EXPECT_EQ(window.items[0].label, " Workspaces\u3000");
  EXPECT_EQ(window.items[1].label, " Apps\u3000");
  EXPECT_EQ(window.items[2].label, " Layouts\u3000");
  EXPECT_EQ(window.items[0].image, "PreferenceSpace");
  EXPECT_EQ(window.items[1].image, "PreferenceApps");
  EXPECT_EQ(window.items[2].image, "PreferenceLayouts");
  EXPECT_EQ(window.accessory.title, "User Guide");
  EXPECT_EQ(window.accessory.image, "Guide");
  EXPECT_EQ(advanced->layouts().identifier(), "CustomLayoutPreferencesViewController");
  EXPECT_EQ(advanced->apps().viewIdentifier(), "RuleLayoutPreferencesViewController");
  // Nothing is shown, and no pane view made, until the window is asked for.
  EXPECT_EQ(window.shows, 0);
  EXPECT_TRUE(views.views.empty());
  for (PreferencePane* pane : advanced->advancedViewController()->viewControllers())
    EXPECT_EQ(pane->paneSize(), (Constants::Size{800, 480}));

  window.accessory.onTap();
  window.accessory.onTap();
  EXPECT_EQ(opened, (std::vector<std::string>{Constants::Url::guide(), Constants::Url::guide()}));
  EXPECT_EQ(window.shows, 0);
}

TEST_F(AdvancedWindowTest, EachRequestShowsTheSameWindowAtItsPaneAndActivatesTheProgram) {
  const FakeWindowState& window = views.window;
  AppBridge::openAdvanced().onNext();
  EXPECT_EQ(window.shows, 1);
  EXPECT_EQ(desktop.program().activationsIgnoringOtherApps(), 1);
  ASSERT_EQ(window.shownPanes.size(), 1u);
  EXPECT_EQ(window.shownPanes[0].first, 0);
  EXPECT_EQ(views.views, std::vector<std::string>{"Spaces"});

  // The user picks the Layouts pane: its list loads (reading the store) with its editor.
  EXPECT_FALSE(advanced->layouts().customLayoutViewController().isViewLoaded());
  window.onSelect(2);
  EXPECT_EQ(window.shownPanes.back(), (std::pair<int, Constants::Size>{2, {800, 480}}));
  EXPECT_TRUE(advanced->layouts().customLayoutViewController().isViewLoaded());
  EXPECT_TRUE(advanced->layouts().customLayoutViewController().deatilViewController().isViewLoaded());

  AppBridge::openAdvanced().onNext();
  EXPECT_EQ(window.shows, 2);
  EXPECT_EQ(desktop.program().activationsIgnoringOtherApps(), 2);
  EXPECT_EQ(window.shownPanes.size(), 2u);  // no pane selected by the request
  EXPECT_EQ(advanced->advancedViewController()->selectedIndex(), 2);
}

}  // namespace
}  // namespace tilvane::test
