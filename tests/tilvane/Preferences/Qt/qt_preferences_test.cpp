// The preferences window in Qt Widgets, offscreen: the toolbar with the Advanced button at its right end, a
// fixed window that takes each pane's size, the panes' controls wired to their behaviour and placed as
// designed, and the update dialog. Screenshots of every pane and of the dialog are kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Preferences/PreferencesViewController.h"
#include "Preferences/Qt/QtAboutPane.h"
#include "Preferences/Qt/QtGeneralPane.h"
#include "Preferences/Qt/QtHotKeysPane.h"
#include "Preferences/Qt/QtPaneWindow.h"
#include "Preferences/Qt/QtPreferencesViews.h"
#include "Preferences/Qt/QtUpdatesPane.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/CGEvent.h"
#include "platform/hotkeys/ShortcutDefaults.h"
#include "platform/l10n/Localization.h"
#include "platform/updater/qt/QtUpdateAlert.h"
#include "support/Artefacts.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/Preferences/PreferencesFakes.h"

namespace tilvane::test {
namespace {

class QtPreferencesTest : public WindowWorld {
 protected:
  QtPreferencesTest() {
    ShortcutDefaults::shared().setShortcut("restoreShortcut",
                                           MASShortcut(37, kCGEventFlagMaskControl | kCGEventFlagMaskAlternate));
    preferences_ = VkRxController::make<PreferencesViewController>(PreferencesServices{
        updater_, [](const std::string&) { return true; }, &login_, &views_, BundleVersion{"1.2", "34"}});
    window_ = dynamic_cast<QtPaneWindow*>(preferences_->preferenceViewController()->window());
  }
  ~QtPreferencesTest() override { preferences_.reset(); }

  template <class View>
  View& viewOf(PreferencePane& pane) {
    return dynamic_cast<View&>(*pane.view());
  }
  void showPane(int index) {
    QTest::mouseClick(window_->paneButtons().at(static_cast<std::size_t>(index)), Qt::LeftButton);
    QApplication::processEvents();
  }

  RecordingUpdater updater_;
  FakeLoginItem login_;
  QtPreferencesViews views_;
  std::unique_ptr<PreferencesViewController> preferences_;
  QtPaneWindow* window_ = nullptr;
};

TEST_F(QtPreferencesTest, AFixedWindowWithAToolbarOfPanesAndTheAdvancedButtonAtItsRightEnd) {
  ASSERT_NE(window_, nullptr);
  AppBridge::openPreferences().onNext(-1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_->window()));
  QWidget& window = window_->window();
  EXPECT_EQ(window.windowTitle().toStdString(), NSLocalizedString("PreferencesTitle"));
  const int toolbarHeight = window_->toolbar().height();
  EXPECT_EQ(window.size(), QSize(680, 280 + toolbarHeight));
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "not resizable";

  const auto buttons = window_->paneButtons();
  ASSERT_EQ(buttons.size(), 4u);
  EXPECT_EQ(buttons[0]->text().toStdString(), " " + NSLocalizedString("General") + "\u3000");
  EXPECT_TRUE(buttons[0]->isChecked());
  QToolButton* advanced = window_->accessoryButton();
  ASSERT_NE(advanced, nullptr);
  const QRect advancedArea(advanced->mapTo(&window, QPoint(0, 0)), advanced->size());
  EXPECT_GT(advancedArea.left(), buttons[3]->mapTo(&window, QPoint(0, 0)).x() + 200) << "at the far end";
  EXPECT_GE(advancedArea.right(), window.width() - 20);
  EXPECT_EQ(advanced->iconSize(), QSize(40, 40));

  int opened = 0;
  rx::DisposeBag bag;
  AppBridge::openAdvanced().subscribe([&](const rx::Unit&) { ++opened; }).disposed(bag);
  QTest::mouseClick(advanced, Qt::LeftButton);
  EXPECT_EQ(opened, 1);

  const char* names[] = {"preferences-general", "preferences-hotkeys", "preferences-updates", "preferences-about"};
  for (int i = 0; i < 4; ++i) {
    showPane(i);
    EXPECT_EQ(window_->shownIndex(), i);
    EXPECT_TRUE(window_->paneButtons()[static_cast<std::size_t>(i)]->isChecked());
    EXPECT_EQ(window.size(), QSize(680, 280 + toolbarHeight)) << "every pane keeps the window's size";
    EXPECT_FALSE(saveArtefact(names[i], window.grab().toImage()).empty());
  }
}

TEST_F(QtPreferencesTest, GeneralRowsLineUpAndTheirBoxesReachThePane) {
  AppBridge::openPreferences().onNext(-1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_->window()));
  const auto& rows = viewOf<QtGeneralPane>(preferences_->general()).rows();
  for (const auto& row : rows) {
    EXPECT_EQ(row.caption->geometry().right() + 1, 226) << "captions end at two thirds of the centre";
    EXPECT_EQ(row.checkbox->x(), 241);
    EXPECT_EQ(row.intro->x(), 241);
    EXPECT_GT(row.intro->y(), row.checkbox->geometry().bottom());
    EXPECT_FALSE(row.checkbox->isChecked());
  }
  EXPECT_EQ(rows[0].caption->geometry().bottom() + 1, 40);
  EXPECT_EQ(rows[1].caption->y(), 80);
  EXPECT_EQ(rows[3].caption->y(), 200);
  QTest::mouseClick(rows[2].checkbox, Qt::LeftButton);
  EXPECT_EQ(preferences_->general().hideLayoutCheckbox.state(), Checkbox::on);
  EXPECT_TRUE(defaults::UserDefaults::standard().boolForKey(UserDefaultsService::showBuildInLayoutActionKey()));

  login_.succeeds = false;
  QTest::mouseClick(rows[0].checkbox, Qt::LeftButton);
  EXPECT_FALSE(rows[0].checkbox->isChecked()) << "the box goes back when start at login fails";
  EXPECT_EQ(login_.enables, 1);
}

TEST_F(QtPreferencesTest, HotKeyRecordersShowWhatIsStoredUnderTheirKeys) {
  AppBridge::openPreferences().onNext(1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_->window()));
  const auto& rows = viewOf<QtHotKeysPane>(preferences_->hotKeys()).rows();
  EXPECT_EQ(rows[1].recorder->fieldText().toStdString(), "Ctrl+Alt+L");
  EXPECT_EQ(rows[0].recorder->fieldText().toStdString(), NSLocalizedString("RecordShortcut"));
  for (const auto& row : rows) {
    EXPECT_EQ(row.recorder->x(), row.caption->geometry().right() + 1 + 15);
    EXPECT_GE(row.recorder->width(), 160);
    EXPECT_EQ(row.intro->y(), row.recorder->geometry().bottom() + 1);
  }
  EXPECT_EQ(rows[0].caption->geometry().bottom() + 1, 50);
  EXPECT_EQ(rows[3].caption->y(), 210);
}

TEST_F(QtPreferencesTest, TheWindowOpensInTheMiddleOfTheScreenAndStaysWhereTheUserPutsIt) {
  AppBridge::openPreferences().onNext(0);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_->window()));
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint middle = window_->window().geometry().center();
  EXPECT_LE(std::abs(middle.x() - area.center().x()), 4);
  EXPECT_LE(std::abs(middle.y() - area.center().y()), 4);
  window_->window().move(area.topLeft() + QPoint(20, 30));
  AppBridge::openPreferences().onNext(2);
  QApplication::processEvents();
  EXPECT_EQ(window_->window().pos(), area.topLeft() + QPoint(20, 30)) << "shown again, it is not moved back";
}

TEST_F(QtPreferencesTest, ARefusalPushesTheRowsBelowItDownInsteadOfCoveringThem) {
  AppBridge::openPreferences().onNext(1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_->window()));
  const auto& rows = viewOf<QtHotKeysPane>(preferences_->hotKeys()).rows();
  rows[0].recorder->startRecording();
  QTest::keyClick(rows[0].recorder, Qt::Key_L, Qt::ControlModifier | Qt::AltModifier);  // the restore key's
  QApplication::processEvents();
  ASSERT_FALSE(rows[0].recorder->messageText().isEmpty());
  const auto* message = rows[0].recorder->findChild<QLabel*>();
  ASSERT_NE(message, nullptr);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_GE(rows[i].intro->y(), rows[i].recorder->geometry().bottom() + 1) << i;
    if (i + 1 < rows.size()) {
      EXPECT_GT(rows[i + 1].caption->y(), rows[i].intro->geometry().bottom()) << i;
      EXPECT_GT(rows[i + 1].recorder->y(), rows[i].intro->geometry().bottom()) << i;
    }
  }
  // The message's text fits its label, which the recorder holds whole.
  EXPECT_GE(message->height(), message->heightForWidth(message->width()));
  EXPECT_LE(rows[0].recorder->mapToParent(message->geometry().bottomLeft()).y(),
            rows[0].recorder->geometry().bottom());
  EXPECT_LE(rows[3].intro->geometry().bottom(), rows[3].intro->parentWidget()->height());
  EXPECT_FALSE(saveArtefact("preferences-hotkeys-conflict", window_->window().grab().toImage()).empty());
}

TEST_F(QtPreferencesTest, UpdatesButtonAsksForACheckAndTheBoxSetsTheUpdater) {
  AppBridge::openPreferences().onNext(2);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_->window()));
  QtUpdatesPane& pane = viewOf<QtUpdatesPane>(preferences_->updates());
  EXPECT_EQ(pane.button().size(), QSize(160, 30));
  EXPECT_EQ(pane.checkbox().x(), pane.button().x());
  int checks = 0;
  rx::DisposeBag bag;
  AppBridge::checkForUpdates().subscribe([&](const rx::Unit&) { ++checks; }).disposed(bag);
  QTest::mouseClick(&pane.button(), Qt::LeftButton);
  EXPECT_EQ(checks, 1);
  updater_.calls.clear();
  QTest::mouseClick(&pane.checkbox(), Qt::LeftButton);
  EXPECT_EQ(updater_.calls, (std::vector<std::string>{"checks on", "downloads off", "interval 86400"}));
}

TEST_F(QtPreferencesTest, AboutPlacesTheLogoVersionAndButtons) {
  AppBridge::openPreferences().onNext(3);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_->window()));
  QtAboutPane& pane = viewOf<QtAboutPane>(preferences_->about());
  EXPECT_EQ(pane.versionLabel().text(), "Version 1.2 (build 34)");
  EXPECT_EQ(pane.logo().geometry(), QRect(290, 40, 100, 100));
  EXPECT_EQ(pane.versionLabel().y(), 150);
  EXPECT_EQ(pane.websiteButton().geometry().center().x() + 1, 330);
  EXPECT_EQ(pane.feedbackButton().geometry(), QRect(10, 240, 200, 30));
  EXPECT_EQ(pane.copyrightLabel().geometry().right() + 1, 670);
  QTest::mousePress(&pane.feedbackButton(), Qt::LeftButton);
  QTest::mouseRelease(&pane.feedbackButton(), Qt::LeftButton);
  EXPECT_EQ(updater_.calls, std::vector<std::string>{"feedback"});
}

TEST(QtUpdateAlertTest, ANewVersionHasAButtonThatOpensItsPage) {
  updates::QtUpdateAlert alert;
  int opens = 0;
  alert.show({"A new version of Tilvane is available", "Tilvane 1.3 is available; you have 1.2.", "Open Its Page",
              "Later"},
             [&] { ++opens; });
  ASSERT_NE(alert.box(), nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(alert.box()));
  EXPECT_FALSE(saveArtefact("update-available", alert.box()->grab().toImage()).empty());
  ASSERT_EQ(alert.box()->buttons().size(), 2u);
  alert.show({"Could not check for updates", "the server answered with status 404", "", "OK"}, [&] { ++opens; });
  ASSERT_NE(alert.box(), nullptr);
  EXPECT_EQ(alert.box()->buttons().size(), 1) << "one dialog at a time, no open button without a page";
  EXPECT_FALSE(saveArtefact("update-failed", alert.box()->grab().toImage()).empty());
  alert.show({"A new version", "1.3", "Open Its Page", "Later"}, [&] { ++opens; });
  alert.box()->buttons().at(0)->click();
  EXPECT_EQ(opens, 1);
}

}  // namespace
}  // namespace tilvane::test
