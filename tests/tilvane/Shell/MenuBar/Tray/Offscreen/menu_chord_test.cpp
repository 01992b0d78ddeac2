// The tray menu's chords while the menu is open (offscreen): the menu has the keyboard then, so a chord it
// shows must act from there. And its titles: names as written, long ones cut.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Store/StoreService.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Shell/MenuBar/MenuBarController.h"
#include "Shell/MenuBar/StatusItem.h"
#include "Shell/MenuBar/Tray/QtStatusItemView.h"
#include "platform/desktop/CGEvent.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/Shell/RecordingUpdater.h"

namespace tilvane::test {
namespace {

struct NoLanding final : LandingWindows, AnnouncementRequester {
  std::unique_ptr<LandingWindowView> makeView() override { return nullptr; }
  void requestAfter(double) override {}
};

// Names of 500 characters are cut so the menu keeps within half the screen, with its chord column and arrows;
// "&" shows as written.
TEST(MenuTitleTest, LongNamesAreCutToFitAndAnAmpersandShowsAsWritten) {
  Menu menu;
  for (const std::string& name : {std::string(500, 'W'), std::string(500, 'D'), std::string("Tom & Jerry")})
    menu.addItem(MenuItem::make(name));
  menu.items()[0]->setKeyEquivalent("1");
  menu.items()[1]->setSubmenu(std::make_shared<Menu>());
  QtStatusItemView view;
  view.setMenu(menu);
  view.qmenu().popup({0, 0});
  const QList<QAction*> shown = view.qmenu().actions();
  EXPECT_TRUE(shown[0]->text().endsWith("\tCtrl+1") && shown[0]->text().contains(QChar(0x2026))) << shown[0]->text().toStdString();
  EXPECT_EQ(shown[2]->text(), "Tom && Jerry");
  EXPECT_LE(view.qmenu().sizeHint().width(), view.qmenu().screen()->availableGeometry().width() / 2);
}

TEST(MenuChordTest, EveryModifierAndTheKeyMakeTheSequence) {
  MenuItem item;
  EXPECT_TRUE(menuChord(item).isEmpty());
  item.setKeyEquivalent("q");
  EXPECT_EQ(menuChord(item), QKeySequence(Qt::CTRL | Qt::Key_Q));  // Control by default
  item.setKeyEquivalent("1");
  item.setKeyEquivalentModifierMask(kCGEventFlagMaskControl | kCGEventFlagMaskAlternate | kCGEventFlagMaskShift |
                                    kCGEventFlagMaskCommand);
  EXPECT_EQ(menuChord(item), QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::META | Qt::Key_1));
  item.setKeyEquivalent(",");
  item.setKeyEquivalentModifierMask(kCGEventFlagMaskControl);
  EXPECT_EQ(menuChord(item), QKeySequence(Qt::CTRL | Qt::Key_Comma));
}

class OpenMenuTest : public WindowWorld {
 protected:
  OpenMenuTest() { StoreService::shared().configureRealm(); }
  ~OpenMenuTest() override { StatusBar::systemStatusBar().setViewFactory(nullptr); }

  /// A menu bar drawn by the Qt view, after its first build; `view_` is that view.
  std::unique_ptr<MenuBarController> builtMenuBar() {
    StatusBar::systemStatusBar().setViewFactory([this] {
      auto made = std::make_unique<QtStatusItemView>();
      view_ = made.get();
      return made;
    });
    auto controller = VkRxController::make<MenuBarController>(
        ShellServices{updater_, landing_, landing_, [] {}, [] {}, [](const std::string&) { return true; }});
    advance(0.5);  // the first build
    return controller;
  }

  QtStatusItemView* view_ = nullptr;
  RecordingUpdater updater_;
  NoLanding landing_;
};

TEST_F(OpenMenuTest, CtrlQTypedIntoTheOpenMenuQuits) {
  int quits = 0;
  rx::DisposeBag bag;
  AppBridge::quit().subscribe([&](const rx::Unit&) { ++quits; }).disposed(bag);
  auto controller = builtMenuBar();
  QtStatusItemView* view = view_;
  ASSERT_NE(view, nullptr);

  QTest::keyClick(&view->qmenu(), Qt::Key_Q, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(quits, 0) << "a closed menu takes no chord";

  view->qmenu().popup(QPoint(10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view->qmenu()));
  QTest::keyClick(&view->qmenu(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return quits == 1; }));
  EXPECT_FALSE(view->qmenu().isVisible()) << "the chosen entry closes the menu";
  controller.reset();
}

TEST_F(OpenMenuTest, ARebuildWaitsForTheOpenMenuToCloseAndComesAfterTheChosenEntrysAction) {
  auto controller = builtMenuBar();
  QtStatusItemView* view = view_;
  ASSERT_NE(view, nullptr);
  QMenu& menu = view->qmenu();
  const qsizetype entries = menu.actions().size();
  std::vector<qsizetype> entriesWhenQuitting;
  rx::DisposeBag bag;
  AppBridge::quit().subscribe([&](const rx::Unit&) { entriesWhenQuitting.push_back(menu.actions().size()); }).disposed(bag);

  menu.popup(QPoint(10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  EXPECT_TRUE(view->isMenuOpen());
  auto workspace = std::make_shared<WorkspaceLayoutGroupModel>();
  workspace->setName("Mail");
  const auto database = store::Database::open();
  database->write([&] { database->add(workspace, store::UpdatePolicy::all); });
  WorkspaceBridge::workspaceAdded().onNext({});
  advance(0.5);
  QApplication::processEvents();
  EXPECT_EQ(menu.actions().size(), entries) << "rebuilt while open";

  QTest::keyClick(&menu, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return menu.actions().size() > entries; })) << "not rebuilt once closed";
  EXPECT_EQ(entriesWhenQuitting, std::vector<qsizetype>{entries}) << "the chosen entry acts from the menu it was chosen in";
  controller.reset();
}

}  // namespace
}  // namespace tilvane::test
