// The Apps pane on screen (offscreen platform), with the layout engine answering the list: search, add, the
// alert, icons, the popups, and a screenshot of the pane.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include "AppManager/Catalogue/AppManager.h"
#include "Layout/LayoutManager.h"
#include "RuleLayout/Qt/AppImages.h"
#include "RuleLayout/Qt/AppRuleViewController.h"
#include "RuleLayout/Qt/AppsTableCellView.h"
#include "RuleLayout/Qt/QtAppChooser.h"
#include "platform/apps/FakeBundles.h"
#include "support/Artefacts.h"
#include "tilvane/RuleLayout/PaneWorld.h"

namespace tilvane::test {
namespace {

namespace fs = std::filesystem;

class ScriptedChooser final : public AppChooser {
 public:
  explicit ScriptedChooser(std::optional<std::string>& next) : next_(next) {}
  std::optional<std::string> chooseApplication() override { return std::exchange(next_, std::nullopt); }

 private:
  std::optional<std::string>& next_;
};

QImage imageOf(const QLabel& label) { return label.pixmap().toImage(); }

class AppsPaneTest : public PaneWorld {
 protected:
  AppsPaneTest() {
    store("org.example.mailer", 1, 2, 1, 0b01);  // the right half
    LayoutManager::shared().setup();
    LayoutManager::shared().bindRules();
    AppManager::shared().apps() = {AppManager::finderApp(),
                                   {"Mailer", "org.example.mailer", "/nowhere/mailer.png"},
                                   {"Photo Viewer", "org.example.viewer", ""},
                                   {"Shell", "org.example.photoshell", ""}};
    window.resize(800, 480);
    pane.view().setParent(&window);
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  ~AppsPaneTest() override { pane.view().setParent(nullptr); }

  AppsTableCellView* cell(int row) { return static_cast<AppsTableCellView*>(pane.tableView->cellWidget(row, 0)); }
  std::vector<std::string> rows() {
    std::vector<std::string> names;
    for (int row = 0; row < pane.tableView->rowCount(); ++row) names.push_back(cell(row)->label().text().toStdString());
    return names;
  }
  void clickRow(int row) {
    const QRect rect = pane.tableView->visualRect(pane.tableView->model()->index(row, 0));
    QTest::mouseClick(pane.tableView->viewport(), Qt::LeftButton, {}, rect.center());
  }

  std::optional<std::string> nextChoice;
  QWidget window;
  AppRuleViewController pane{std::make_unique<ScriptedChooser>(nextChoice)};
};

TEST_F(AppsPaneTest, TheSearchFieldFiltersTheRowsAndAClickedRowReachesTheEditor) {
  EXPECT_EQ(pane.view().size(), QSize(800, 480));
  EXPECT_EQ(pane.tableView->rowHeight(0), 30);
  EXPECT_EQ(pane.deatilViewController.view().geometry(), QRect(230, 10, 550, 470));
  EXPECT_FALSE(pane.deatilViewController.componentsContainer->isVisible());
  QTest::keyClicks(pane.searchTextField, "PHO");
  EXPECT_EQ(rows(), std::vector<std::string>{"Photo Viewer"});
  pane.searchTextField->clear();
  EXPECT_EQ(rows().size(), 4u);

  clickRow(1);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].name, "Mailer");
  auto& editor = pane.deatilViewController;
  EXPECT_TRUE(editor.componentsContainer->isVisible());
  EXPECT_EQ(editor.titleLabel->text(), "Mailer");
  EXPECT_EQ(editor.rulePopUpButton->currentText().toStdString(), NSLocalizedString("FixedPositionAndSize"));
  EXPECT_TRUE(editor.fixPositionMatrixView->isVisible());
  EXPECT_FALSE(editor.arrangedMatrixView->isVisible());
  EXPECT_EQ(editor.rowPopUpButton->currentText(), "1");
  EXPECT_EQ(editor.columnPopUpButton->currentText(), "2");
  EXPECT_FALSE(saveArtefact("apps-pane", window.grab().toImage()).empty());
}

TEST_F(AppsPaneTest, ThePopupsActOnEveryChoiceAlsoOfTheItemOnShow) {
  clickRow(2);  // Photo Viewer: no rule, "automatic" on show
  auto& editor = pane.deatilViewController;
  ASSERT_EQ(editor.rulePopUpButton->currentIndex(), 0);
  editor.rulePopUpButton->activated(0);  // picked again: nothing to delete, published all the same
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0].rule, nullptr);

  editor.rulePopUpButton->activated(2);
  EXPECT_TRUE(editor.arrangedMatrixView->isVisible());
  EXPECT_TRUE(editor.rowPopUpButton->isVisible());
  editor.columnPopUpButton->activated(3);
  EXPECT_EQ(editor.columnPopUpButton->currentText(), "4");
  EXPECT_EQ(storedRule("org.example.viewer")->matrixValue(), 255);
  EXPECT_EQ(LayoutManager::shared().rules().at("org.example.viewer")->width(), 4);
  EXPECT_FALSE(saveArtefact("apps-pane-arranged", pane.view().grab().toImage()).empty());
}

TEST_F(AppsPaneTest, TextCutToItsPlaceEndsInAnEllipsisAndKeepsTheWholeAsItsTip) {
  const std::string longName = "Integrated Development Environment for Scientific Python Notebooks";
  const fs::path entry = tempDir() / "ide.desktop";
  writeText(entry, "[Desktop Entry]\nType=Application\nName=" + longName + "\nExec=ide\n");
  nextChoice = entry.string();
  QTest::mouseClick(pane.addButton, Qt::LeftButton);
  pane.searchTextField->setText("Scientific");
  QApplication::processEvents();  // the list places its cells on its next layout pass
  ASSERT_EQ(pane.tableView->rowCount(), 1);
  QLabel& label = cell(0)->label();
  EXPECT_TRUE(label.text().endsWith(QChar(0x2026))) << label.text().toStdString();
  EXPECT_EQ(label.toolTip().toStdString(), longName);
  EXPECT_LE(cell(0)->mapToParent(label.geometry().topRight()).x(), pane.tableView->viewport()->width());
  EXPECT_EQ(cell(0)->label().fontMetrics().horizontalAdvance(label.text()) <= label.width(), true);

  clickRow(0);  // no rule: "automatic" on show, longer than the pop-up
  auto& editor = pane.deatilViewController;
  ASSERT_EQ(editor.rulePopUpButton->currentText().toStdString(), NSLocalizedString("AutoLayoutWithTilvane"));
  EXPECT_EQ(editor.rulePopUpButton->shownText(), editor.rulePopUpButton->currentText()) << "the pane has room for it";
  EXPECT_FALSE(saveArtefact("apps-pane-long-name", window.grab().toImage()).empty());
  editor.rulePopUpButton->resize(80, editor.rulePopUpButton->height());
  EXPECT_TRUE(editor.rulePopUpButton->shownText().endsWith(QChar(0x2026)));
}

TEST_F(AppsPaneTest, RowsAndTheEditorFallBackToTheirOwnImages) {
  const QImage finder = namedAppImage("Finder", 22).toImage();
  const QImage generic = namedAppImage("MacApp.png", 22).toImage();
  ASSERT_FALSE(finder.isNull());
  EXPECT_NE(finder, generic);
  EXPECT_EQ(imageOf(cell(0)->icon()), finder);
  EXPECT_EQ(imageOf(cell(1)->icon()), generic);  // its icon file is missing
  clickRow(0);
  EXPECT_EQ(imageOf(*pane.deatilViewController.logoImage), namedAppImage("Finder.png", 30).toImage());
  clickRow(1);
  EXPECT_EQ(imageOf(*pane.deatilViewController.logoImage), namedAppImage("MacApp.png", 30).toImage());

  QImage red(8, 8, QImage::Format_ARGB32);
  red.fill(Qt::red);
  const fs::path file = tempDir() / "red.png";
  ASSERT_TRUE(red.save(QString::fromStdString(file.string())));
  EXPECT_EQ(declaredAppImage(file.string(), 22).toImage().pixelColor(3, 3), QColor(Qt::red));
}

TEST_F(AppsPaneTest, AddingSelectsTheNewLastRowAndWhatCannotBeAddedIsAnAlert) {
  QTest::keyClicks(pane.searchTextField, "mail");
  const fs::path entry = tempDir() / "Terminal.desktop";
  writeText(entry, "[Desktop Entry]\nType=Application\nName=Terminal\nExec=true\n");
  nextChoice = entry.string();
  QTest::mouseClick(pane.addButton, Qt::LeftButton);
  EXPECT_EQ(rows(), (std::vector<std::string>{"Mailer", "Terminal"}));
  EXPECT_EQ(pane.tableView->selectionModel()->selectedRows().front().row(), 1);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].name, "Terminal");
  EXPECT_EQ(pane.deatilViewController.titleLabel->text(), "Terminal");

  writeText(tempDir() / "notes.txt", "text");
  fs::create_directories(tempDir() / "Plain folder");
  for (const char* unsupported : {"notes.txt", "Plain folder"}) {
    SCOPED_TRACE(unsupported);
    nextChoice = (tempDir() / unsupported).string();
    QTest::mouseClick(pane.addButton, Qt::LeftButton);
    ASSERT_TRUE(pane.alert());
    EXPECT_EQ(pane.alert()->text().toStdString(), NSLocalizedString("UnsupportType"));
    ASSERT_EQ(pane.alert()->buttons().size(), 1);
    EXPECT_EQ(pane.alert()->buttons().front()->text().toStdString(), NSLocalizedString("Close"));
    EXPECT_EQ(pane.alert()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(rows().size(), 2u);
    pane.alert()->buttons().front()->click();
    QTest::qWait(0);
    EXPECT_FALSE(pane.alert());  // dismissed, and gone
  }
  EXPECT_EQ(chosen.size(), 1u);

  QTest::mouseClick(pane.addButton, Qt::LeftButton);  // cancelled
  EXPECT_EQ(rows().size(), 2u);
}

TEST(AppFileDialogTest, TakesADesktopEntryAndStartsInTheApplicationsFolders) {
  ScopedTempDir temp;
  const fs::path data = temp.path() / "data";
  fs::create_directories(data / "applications" / "Notes.app");
  writeText(data / "applications" / "entry.desktop", "[Desktop Entry]\n");
  const ScopedEnv dataHome("XDG_DATA_HOME", data.string());
  const ScopedEnv dataDirs("XDG_DATA_DIRS", (temp.path() / "none").string());
  AppFileDialog dialog;
  EXPECT_EQ(dialog.windowTitle().toStdString(), NSLocalizedString("ChooseApplication"));
  EXPECT_EQ(dialog.directory().absolutePath().toStdString(), (data / "applications").string());
  ASSERT_EQ(dialog.sidebarUrls().size(), 1) << "the folder that does not exist is left out";
  EXPECT_TRUE(dialog.nameFilters().value(0).endsWith("(*.desktop)"));

  dialog.selectFile(QString::fromStdString((data / "applications" / "entry.desktop").string()));
  static_cast<QDialog&>(dialog).accept();  // as the Open button does
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.selectedFiles().value(0).toStdString(), (data / "applications" / "entry.desktop").string());

  // A folder is no application here: "Open" goes into it.
  AppFileDialog folder;
  folder.selectFile(QString::fromStdString((data / "applications" / "Notes.app").string()));
  static_cast<QDialog&>(folder).accept();
  EXPECT_NE(folder.result(), QDialog::Accepted);
  EXPECT_EQ(folder.directory().absolutePath().toStdString(), (data / "applications" / "Notes.app").string());
}

}  // namespace
}  // namespace tilvane::test
