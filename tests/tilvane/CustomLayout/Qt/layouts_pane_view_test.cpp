// The Layouts pane on screen (offscreen platform): where its parts stand in an 800 × 480 pane, clicks on the list
// and the buttons, the editor's popups and name field reaching the controller, and a screenshot to look at.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "../LayoutsPaneFixture.h"
#include "CustomLayout/Qt/CustomLayoutTableCellView.h"
#include "CustomLayout/Qt/QtCustomLayoutDetailView.h"
#include "CustomLayout/Qt/QtCustomLayoutListView.h"
#include "CustomLayout/Qt/QtCustomLayoutViews.h"
#include "support/Artefacts.h"

namespace tilvane::test {
namespace {

class LayoutsPaneViewTest : public LayoutsPaneTest {
 protected:
  void open() {
    view = dynamic_cast<QtCustomLayoutListView*>(list.view());
    ASSERT_NE(view, nullptr);
    detail = dynamic_cast<QtCustomLayoutDetailView*>(list.deatilViewController().view());
    ASSERT_NE(detail, nullptr);
    view->widget()->resize(800, 480);
    view->widget()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->widget()));
  }
  QPoint rowCentre(int row) const {
    return view->tableView()->visualRect(view->tableView()->model()->index(row, 0)).center();
  }

  QtCustomLayoutViews views;
  CustomLayoutViewController list{&views};
  QtCustomLayoutListView* view = nullptr;
  QtCustomLayoutDetailView* detail = nullptr;
};

TEST_F(LayoutsPaneViewTest, ThePartsStandWhereThePaneDrawsThemAndTheUsersActionsReachTheControllers) {
  stored(layout("Left half", 1, 2, 1, 0b10));
  stored(layout("Cells", 2, 2, 2, 0b1001));
  open();
  EXPECT_EQ(view->tableView()->geometry(), QRect(0, 0, 200, 440));
  EXPECT_EQ(view->addButton()->geometry(), QRect(5, 450, 20, 20));
  EXPECT_EQ(view->removeButton()->geometry(), QRect(30, 450, 20, 20));
  EXPECT_EQ(detail->widget()->geometry(), QRect(220, 10, 560, 465));
  EXPECT_TRUE(view->introLabel()->isVisible());
  EXPECT_FALSE(detail->componentsContainer()->isVisible());
  ASSERT_EQ(view->tableView()->rowCount(), 2);
  EXPECT_EQ(view->tableView()->rowHeight(1), 25);
  EXPECT_EQ(view->cellAt(1)->label()->text(), "Cells");
  EXPECT_EQ(view->cellAt(1)->label()->geometry(), QRect(10, 2, 200, 20));

  // A click on a row selects it and shows its layout.
  QTest::mouseClick(view->tableView()->viewport(), Qt::LeftButton, {}, rowCentre(0));
  EXPECT_EQ(list.selectedRow(), 0);
  EXPECT_FALSE(view->introLabel()->isVisible());
  EXPECT_TRUE(detail->widget()->isVisible());
  EXPECT_EQ(detail->titleInput()->text(), "Left half");
  EXPECT_EQ(detail->rulePopUpButton()->currentIndex(), 1);
  EXPECT_TRUE(detail->fixPositionMatrixView()->isVisible());
  EXPECT_FALSE(detail->arrangedMatrixView()->isVisible());
  EXPECT_EQ(detail->columnPopUpButton()->currentIndex(), 1);
  EXPECT_EQ(detail->fixPositionMatrixView()->geometry().size(), QSize(200, 120));
  EXPECT_EQ(detail->fixPositionMatrixView()->x(), detail->rowPopUpButton()->x());
  EXPECT_FALSE(saveArtefact("layouts-pane-fixed", view->widget()->grab().toImage()).empty());

  // Typing renames the row at once; picking a type in the popup saves it.
  detail->titleInput()->selectAll();
  QTest::keyClicks(detail->titleInput(), "Right");
  EXPECT_EQ(view->cellAt(0)->label()->text(), "R");
  advance(0.3);
  EXPECT_EQ(view->cellAt(0)->label()->text(), "Right");
  detail->rulePopUpButton()->activated(2);
  EXPECT_EQ(list.layouts()[0]->type(), 2);
  EXPECT_TRUE(detail->arrangedMatrixView()->isVisible());
  EXPECT_EQ(detail->rowPopUpButton()->currentIndex(), 1);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Right", "Cells"}));

  // Add selects the new last row; remove selects the one before.
  QTest::mouseClick(view->addButton(), Qt::LeftButton);
  ASSERT_EQ(view->tableView()->rowCount(), 3);
  EXPECT_EQ(view->tableView()->selectionModel()->selectedRows().front().row(), 2);
  EXPECT_EQ(detail->titleInput()->text(), "New Layout");
  EXPECT_EQ(detail->rulePopUpButton()->currentIndex(), 0);
  EXPECT_FALSE(detail->rowPopUpButton()->isVisible());
  EXPECT_FALSE(saveArtefact("layouts-pane-added", view->widget()->grab().toImage()).empty());
  QTest::mouseClick(view->removeButton(), Qt::LeftButton);
  EXPECT_EQ(view->tableView()->rowCount(), 2);
  EXPECT_EQ(view->tableView()->selectionModel()->selectedRows().front().row(), 1);
  EXPECT_EQ(detail->titleInput()->text(), "Cells");
}

TEST_F(LayoutsPaneViewTest, ANameThatLooksLikeMarkupShowsAsTyped) {
  stored(layout("<b>x</b>", 1, 2, 1, 0b10));
  open();
  const QLabel& label = *view->cellAt(0)->label();
  EXPECT_GE(label.sizeHint().width(), label.fontMetrics().horizontalAdvance("<b>x</b>"));
}

TEST_F(LayoutsPaneViewTest, ARefusedHotKeysMessageTakesRoomBelowTheRecorderWithoutSqueezingItsField) {
  stored(layout("Left half", 1, 2, 1, 0b10));
  open();
  QTest::mouseClick(view->tableView()->viewport(), Qt::LeftButton, {}, rowCentre(0));
  MASShortcutView* recorder = detail->shortcutButton();
  const QRect before = recorder->geometry();
  const int ruleTop = detail->rulePopUpButton()->y();
  ASSERT_GT(ruleTop, before.bottom());

  recorder->startRecording();
  QTest::keyClick(recorder, Qt::Key_1);  // no modifier: refused, with a message under the field
  ASSERT_FALSE(recorder->messageText().isEmpty());
  for (int pass = 0; pass < 3; ++pass) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  const auto* field = recorder->findChild<QPushButton*>();
  ASSERT_NE(field, nullptr);
  EXPECT_GE(field->height(), field->sizeHint().height());
  EXPECT_EQ(recorder->geometry().topLeft(), before.topLeft());
  EXPECT_EQ(recorder->width(), before.width());
  EXPECT_EQ(recorder->height(), recorder->heightForWidth(recorder->width()));
  EXPECT_GT(detail->rulePopUpButton()->y(), recorder->geometry().bottom());
  EXPECT_FALSE(saveArtefact("layouts-pane-refused-hot-key", view->widget()->grab().toImage()).empty());
}

}  // namespace
}  // namespace tilvane::test
