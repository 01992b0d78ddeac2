// The fixed grid drawn by pressing on one cell, dragging and releasing on another, beside the click, move,
// click it always took.
#include <gtest/gtest.h>

#include <vector>

#include "RuleLayout/Grid/FixPostionMatrixView.h"

namespace tilvane::test {
namespace {

class GridDragTest : public ::testing::Test {
 protected:
  GridDragTest() {
    grid.layoutRects(4, 4);
    grid.matrixValueChanged().subscribe([this](std::int64_t v) { values.push_back(v); }).disposed(bag);
  }
  MatrixRect& cell(std::size_t row, std::size_t column) { return *grid.cellAt(row, column); }
  /// The pointer moves from the cell it is over to `to`, as the view reports it.
  void move(MatrixRect*& over, MatrixRect& to) {
    if (over) over->mouseExited();
    to.mouseEntered();
    over = &to;
  }

  FixPostionMatrixView grid;
  std::vector<std::int64_t> values;
  rx::DisposeBag bag;
};

TEST_F(GridDragTest, APressDragAndReleaseChoosesTheRectangleShownWhileItIsDrawn) {
  MatrixRect* over = &cell(0, 0);
  grid.pressed(cell(0, 0));
  EXPECT_DOUBLE_EQ(cell(0, 0).fill(), FixPostionMatrixView::kChoosingFill) << "the press starts the rectangle";
  move(over, cell(1, 2));
  EXPECT_DOUBLE_EQ(cell(1, 1).fill(), FixPostionMatrixView::kChoosingFill) << "drawn while dragging";
  EXPECT_DOUBLE_EQ(cell(2, 0).fill(), MatrixRect::kNewFill);
  move(over, cell(2, 3));
  EXPECT_TRUE(values.empty());
  grid.released(cell(0, 0), &cell(2, 3));
  // The same rectangle as a click on (0, 0), a move and a click on (2, 3).
  EXPECT_EQ(values, std::vector<std::int64_t>{65520});
  EXPECT_DOUBLE_EQ(cell(2, 3).fill(), FixPostionMatrixView::kChosenFill);
  EXPECT_EQ(grid.startRect, nullptr);
  EXPECT_TRUE(grid.endRects.empty());

  // A release on a cell the pointer reached without the view reporting it still ends there.
  grid.pressed(cell(3, 3));
  grid.released(cell(3, 3), &cell(3, 2));
  EXPECT_EQ(values, (std::vector<std::int64_t>{65520, 3}));  // the last two cells of the bottom row
}

TEST_F(GridDragTest, AClickStillStartsAChoiceThatAClickEnds) {
  MatrixRect* over = &cell(0, 0);
  grid.pressed(cell(0, 0));
  grid.released(cell(0, 0), &cell(0, 0));  // a click: the choice goes on
  EXPECT_EQ(grid.startRect, &cell(0, 0));
  move(over, cell(2, 3));
  EXPECT_TRUE(values.empty());
  grid.pressed(cell(2, 3));
  EXPECT_TRUE(values.empty()) << "the second click ends on its release";
  grid.released(cell(2, 3), &cell(2, 3));
  EXPECT_EQ(values, std::vector<std::int64_t>{65520});

  // A drag that ends outside the grid keeps its start; a click then ends it.
  over = &cell(0, 0);
  grid.pressed(cell(0, 0));
  grid.released(cell(0, 0), nullptr);
  EXPECT_EQ(grid.startRect, &cell(0, 0));
  move(over, cell(2, 3));
  grid.pressed(cell(2, 3));
  grid.released(cell(2, 3), &cell(2, 3));
  EXPECT_EQ(values, (std::vector<std::int64_t>{65520, 65520}));
}

}  // namespace
}  // namespace tilvane::test
