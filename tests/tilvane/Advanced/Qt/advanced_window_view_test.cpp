// The advanced window in Qt Widgets (offscreen platform): the toolbar of three panes with the Guide button at its
// right end, 800 × 480 panes, the Layouts pane holding the list and its editor, and screenshots to look at.
#include <gtest/gtest.h>

#include <QTest>

#include "Advanced/AdvancedViewController.h"
#include "Advanced/Qt/QtAdvancedViews.h"
#include "Advanced/Qt/QtHostPaneView.h"
#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Store/StoreService.h"
#include "CustomLayout/Qt/QtCustomLayoutDetailView.h"
#include "CustomLayout/Qt/QtCustomLayoutListView.h"
#include "Models/CustomLayoutModel.h"
#include "Preferences/Qt/QtPaneWindow.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/Artefacts.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {
namespace {

class AdvancedWindowViewTest : public WorldTest {
 protected:
  AdvancedWindowViewTest() { StoreService::shared().configureRealm(); }
  QtPaneWindow& window() { return dynamic_cast<QtPaneWindow&>(*advanced->advancedViewController()->window()); }

  sim::SimDesktop desktop;
  Desktop::Scope desktopScope{desktop};
  QtAdvancedViews views;
  std::unique_ptr<AdvancedViewController> advanced =
      VkRxController::make<AdvancedViewController>(AdvancedServices{nullptr, &views});
};

TEST_F(AdvancedWindowViewTest, TheLayoutsPaneHoldsTheListAndItsEditorBelowAToolbarEndingInTheGuideButton) {
  auto layout = std::make_shared<CustomLayoutModel>();
  layout->setName("Right half");
  layout->setType(1);
  layout->setWidth(2);
  layout->setHeight(1);
  layout->setMatrixValue(0b01);
  layout->setKeyCode(15);
  layout->setModifierFlags(0xC0000);
  auto database = StoreService::shared().database();
  database->write([&] { StoreService::shared().addUpdating(*database, layout); });

  AppBridge::openAdvanced().onNext();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window().window()));
  EXPECT_EQ(window().window().windowTitle(), "Tilvane Advanced");
  const auto buttons = window().paneButtons();
  ASSERT_EQ(buttons.size(), 3u);
  EXPECT_EQ(buttons[2]->text(), QString::fromUtf8(" Layouts\u3000"));
  ASSERT_NE(window().accessoryButton(), nullptr);
  EXPECT_EQ(window().accessoryButton()->text(), "User Guide");
  EXPECT_GT(window().accessoryButton()->geometry().left(), buttons[2]->geometry().right());
  EXPECT_GE(window().accessoryButton()->geometry().right(), window().toolbar().width() - 20);
  EXPECT_FALSE(saveArtefact("advanced-workspaces", window().window().grab().toImage()).empty());

  // The Apps pane holds the application list, made with the pane's view and filling it.
  buttons[1]->click();
  auto* apps = dynamic_cast<QtHostPaneView*>(advanced->apps().view());
  ASSERT_NE(apps, nullptr);
  ASSERT_NE(apps->hostedController(), nullptr);
  EXPECT_EQ(apps->hostedController()->view().size(), QSize(800, 480));
  EXPECT_EQ(apps->hostedController()->view().window(), &window().window());
  EXPECT_FALSE(saveArtefact("advanced-apps", window().window().grab().toImage()).empty());

  buttons[2]->click();
  auto& list = advanced->layouts().customLayoutViewController();
  auto* listView = dynamic_cast<QtCustomLayoutListView*>(list.view());
  ASSERT_NE(listView, nullptr);
  EXPECT_EQ(listView->widget()->size(), QSize(800, 480));
  EXPECT_EQ(listView->widget()->window(), &window().window());
  list.tableViewSelectionDidChange(0);
  auto* detail = dynamic_cast<QtCustomLayoutDetailView*>(list.deatilViewController().view());
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->titleInput()->text(), "Right half");
  EXPECT_EQ(detail->shortcutButton()->fieldText(), "Ctrl+Alt+R");
  EXPECT_FALSE(saveArtefact("advanced-layouts", window().window().grab().toImage()).empty());

  // The window and its panes go in any order without deleting a widget twice.
  advanced.reset();
}

}  // namespace
}  // namespace tilvane::test
