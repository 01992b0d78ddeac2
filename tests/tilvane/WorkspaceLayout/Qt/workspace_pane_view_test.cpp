// The Workspaces pane on screen (offscreen platform): where the list, its buttons and the editor stand in an
// 800 × 480 pane, clicks reaching the controllers (the item list's right edge included), the delete sheet, and a
// screenshot to look at.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "../Editor/WorkspacePaneFixture.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "WorkspaceLayout/Qt/QtWorkspaceDetailView.h"
#include "WorkspaceLayout/Qt/QtWorkspaceListView.h"
#include "WorkspaceLayout/Qt/QtWorkspaceViews.h"
#include "WorkspaceLayout/Qt/WorkspaceItemTableCellView.h"
#include "platform/l10n/Localization.h"
#include "support/Artefacts.h"

namespace tilvane::test {
namespace {

class WorkspacePaneViewTest : public WorkspacePaneTest {
 protected:
  WorkspacePaneViewTest() : WorkspacePaneTest(4) { startManagers(); }
  void open() {
    view = dynamic_cast<QtWorkspaceListView*>(list.view());
    ASSERT_NE(view, nullptr);
    detail = dynamic_cast<QtWorkspaceDetailView*>(list.deatilViewController().view());
    ASSERT_NE(detail, nullptr);
    view->widget()->resize(800, 480);
    view->widget()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->widget()));
  }
  static QPoint rowCentre(QTableWidget& table, int row) {
    return table.visualRect(table.model()->index(row, 0)).center();
  }
  WorkspaceLayoutGroupModelPtr workspaceWithItems(const std::string& name, int items) {
    auto group = storedWorkspace(name);
    auto database = StoreService::shared().database();
    for (int n = 0; n < items; ++n) {
      auto item = std::make_shared<WorkspaceLayoutItemModel>();
      item->setAppPath((tempDir() / ("app" + std::to_string(n) + ".desktop")).string());
      item->setSpaceIndex(n);
      item->setSpaceCount(4);
      item->setScreenCount(1);
      database->write([&] { group->items().append(item); });
    }
    return group;
  }

  QtWorkspaceViews views;
  WorkspaceViewController list{WorkspaceServices{&views, &views.dialogs(), {}, {}}};
  QtWorkspaceListView* view = nullptr;
  QtWorkspaceDetailView* detail = nullptr;
};

TEST_F(WorkspacePaneViewTest, ThePartsStandWhereThePaneDrawsThemAndTheUsersActionsReachTheControllers) {
  storedWorkspace("Home");
  workspaceWithItems("Work", 3);
  open();
  EXPECT_EQ(view->tableView()->geometry(), QRect(0, 0, 200, 440));
  EXPECT_EQ(view->addButton()->geometry(), QRect(5, 450, 20, 20));
  EXPECT_EQ(view->removeButton()->geometry(), QRect(30, 450, 20, 20));
  EXPECT_EQ(view->snapshotButton()->geometry(), QRect(60, 450, 130, 20));
  EXPECT_EQ(view->line()->geometry(), QRect(200, 0, 1, 485));
  EXPECT_EQ(detail->widget()->geometry(), QRect(201, 0, 599, 480));
  EXPECT_TRUE(view->snapshotButton()->isEnabled());
  EXPECT_TRUE(view->introLabel()->isVisible());
  EXPECT_FALSE(detail->tableViewContainer()->isVisible());
  ASSERT_EQ(view->tableView()->rowCount(), 2);
  EXPECT_EQ(view->tableView()->rowHeight(1), 25);
  EXPECT_EQ(view->labelAt(1)->text(), "Work");

  // A click on a workspace shows its name and items; a click on an item shows the item editor.
  QTest::mouseClick(view->tableView()->viewport(), Qt::LeftButton, {}, rowCentre(*view->tableView(), 1));
  EXPECT_EQ(list.selectedRow(), 1);
  EXPECT_FALSE(view->introLabel()->isVisible());
  EXPECT_TRUE(detail->tableViewContainer()->isVisible());
  EXPECT_FALSE(detail->componentsContainer()->isVisible());
  EXPECT_EQ(detail->titleInput()->text(), "Work");
  ASSERT_EQ(detail->tableView()->rowCount(), 3);
  EXPECT_EQ(detail->tableView()->rowHeight(0), 50);
  ASSERT_NE(detail->cellAt(0), nullptr);
  EXPECT_EQ(detail->cellAt(0)->icon()->geometry(), QRect(10, 10, 30, 30));
  EXPECT_EQ(detail->tableView()->width(), 150);
  // Each row names its application; one whose desktop entry is gone says so, cut with "…" to the row.
  const std::string missing = "app0.desktop " + NSLocalizedString("ApplicationNotFound");
  EXPECT_EQ(detail->cellAt(0)->fullName().toStdString(), missing);
  EXPECT_TRUE(detail->cellAt(0)->name()->text().endsWith(QChar(0x2026))) << detail->cellAt(0)->name()->text().toStdString();
  EXPECT_LE(detail->cellAt(0)->name()->geometry().right(), detail->tableView()->viewport()->width());
  QTest::mouseClick(detail->tableView()->viewport(), Qt::LeftButton, {}, rowCentre(*detail->tableView(), 0));
  EXPECT_EQ(list.deatilViewController().controls().selectedItemRow, 0);
  EXPECT_TRUE(detail->componentsContainer()->isVisible());
  EXPECT_EQ(detail->spaceButton()->count(), 4);
  EXPECT_EQ(detail->layoutView()->size(), QSize(200, 120));

  // The item editor leaves the list's right edge alone: a click there selects the item under it.
  EXPECT_GT(detail->componentsContainer()->x(), detail->line()->x());
  const QPoint edge = detail->tableView()->mapTo(detail->widget(), QPoint(147, rowCentre(*detail->tableView(), 2).y()));
  QWidget* hit = detail->widget()->childAt(edge);
  ASSERT_NE(hit, nullptr);
  EXPECT_FALSE(detail->componentsContainer()->isAncestorOf(hit));
  QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(detail->widget(), edge));
  EXPECT_EQ(list.deatilViewController().controls().selectedItemRow, 2);
  EXPECT_EQ(detail->spaceButton()->currentIndex(), 2);
  EXPECT_FALSE(saveArtefact("workspaces-pane-item", view->widget()->grab().toImage()).empty());

  // A desktop picked is stored; typing renames the list's row at once.
  detail->spaceButton()->activated(1);
  EXPECT_EQ(list.workspaces()[1]->items().at(2)->spaceIndex(), 1);
  detail->titleInput()->selectAll();
  QTest::keyClicks(detail->titleInput(), "Desk");
  EXPECT_EQ(view->labelAt(1)->text(), "Desk");
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Home", "Desk"}));
}

/// WCAG's relative luminance of a pixel.
double luminance(QRgb pixel) {
  const auto channel = [](int value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(qRed(pixel)) + 0.7152 * channel(qGreen(pixel)) + 0.0722 * channel(qBlue(pixel));
}

/// The contrast between the lightest and the darkest pixel of `area` of `image`: a title against its button.
double contrastWithin(const QImage& image, const QRect& area) {
  double lightest = 0, darkest = 1;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const double l = luminance(image.pixel(x, y));
      lightest = std::max(lightest, l);
      darkest = std::min(darkest, l);
    }
  return (lightest + 0.05) / (darkest + 0.05);
}

// A name that looks like markup shows as typed, as every other cell does: laid out as rich text it would be a
// bold x, an italic ampersand, a heading cut by the row, each narrower than the text typed.
TEST_F(WorkspacePaneViewTest, NamesThatLookLikeMarkupShowAsTyped) {
  const std::vector<std::string> names = {"<b>x</b>", "<i>&amp;</i>", "<h1>big</h1>"};
  for (const std::string& name : names) storedWorkspace(name);
  open();
  ASSERT_EQ(view->tableView()->rowCount(), static_cast<int>(names.size()));
  for (std::size_t row = 0; row < names.size(); ++row) {
    const QLabel& label = *view->labelAt(static_cast<int>(row));
    EXPECT_GE(label.sizeHint().width(), label.fontMetrics().horizontalAdvance(QString::fromStdString(names[row])))
        << names[row];
  }
  EXPECT_FALSE(saveArtefact("workspaces-pane-markup-names", view->widget()->grab().toImage()).empty());
}

TEST_F(WorkspacePaneViewTest, TheBrowseButtonsReadAsEnabledButtonsBesideTheirFields) {
  workspaceWithItems("Work", 1);
  open();
  QTest::mouseClick(view->tableView()->viewport(), Qt::LeftButton, {}, rowCentre(*view->tableView(), 0));
  QTest::mouseClick(detail->tableView()->viewport(), Qt::LeftButton, {}, rowCentre(*detail->tableView(), 0));
  ASSERT_TRUE(detail->componentsContainer()->isVisible());
  const QImage image = detail->widget()->grab().toImage();
  for (QWidget* button : {static_cast<QWidget*>(detail->appBrowserButton()),
                          static_cast<QWidget*>(detail->fileBrowserButton())}) {
    EXPECT_TRUE(button->isEnabled());
    // Its title stands out from it as readable text does (WCAG's 4.5:1), not faded as a disabled one's.
    const QRect area(button->mapTo(detail->widget(), QPoint(0, 0)), button->size());
    EXPECT_GE(contrastWithin(image, area.adjusted(2, 2, -2, -2)), 4.5);
    EXPECT_GT(button->x(), detail->appLabel()->geometry().right());
  }
  EXPECT_FALSE(saveArtefact("workspaces-pane-browse", detail->widget()->grab().toImage()).empty());
}

TEST_F(WorkspacePaneViewTest, RemoveAsksOnTheWindowAndDeletesOnlyOnDelete) {
  storedWorkspace("Home");
  storedWorkspace("Work");
  open();
  QTest::mouseClick(view->tableView()->viewport(), Qt::LeftButton, {}, rowCentre(*view->tableView(), 0));
  const auto answer = [&](const char* button) {
    QTest::mouseClick(view->removeButton(), Qt::LeftButton);
    auto* sheet = view->widget()->window()->findChild<QMessageBox*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->text().toStdString(), NSLocalizedString("DeleteWorkspaceAlert"));
    for (QAbstractButton* choice : sheet->buttons())
      if (choice->text().toStdString() == NSLocalizedString(button)) choice->click();
    delete sheet;
  };
  answer("Cancel");
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Home", "Work"}));
  answer("Delete");
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Work"}));
  EXPECT_EQ(view->tableView()->rowCount(), 1);
  EXPECT_EQ(removed, 1);
}

}  // namespace
}  // namespace tilvane::test
