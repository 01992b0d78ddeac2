// The grid editors' cells: layout and gaps, the pool, the arranged grid's toggles and the fixed grid's
// rectangle choice, with the values each publishes.
#include <gtest/gtest.h>

#include <vector>

#include "Models/CustomLayoutModel.h"
#include "RuleLayout/Grid/ArrangedMatrixView.h"
#include "RuleLayout/Grid/FixPostionMatrixView.h"

namespace tilvane::test {
namespace {

/// Records what a grid publishes.
struct Published {
  template <class Grid>
  explicit Published(Grid& grid) {
    grid.matrixValueChanged().subscribe([this](std::int64_t v) { values.push_back(v); }).disposed(bag);
  }
  std::vector<std::int64_t> values;
  rx::DisposeBag bag;
};

void tap(MatrixRect* cell) {
  ASSERT_NE(cell, nullptr);
  cell->mouseDown();
  cell->mouseUp();
}

TEST(GridViewTest, CellsAreLaidOutWithTheGapAndReusedFromThePool) {
  ArrangedMatrixView grid;
  const CustomLayoutModel model;  // 4 x 4
  grid.layoutRectsForModel(model);
  EXPECT_DOUBLE_EQ(grid.gap(), 5.0);
  const double xs[] = {0, 51.25, 102.5, 153.75};
  const double ys[] = {0, 31.25, 62.5, 93.75};
  for (std::size_t r = 0; r < 4; ++r) {
    for (std::size_t c = 0; c < 4; ++c) {
      EXPECT_EQ(grid.cellAt(r, c)->frame(), CGRectMake(xs[c], ys[r], 46.25, 26.25)) << r << "," << c;
      EXPECT_EQ(grid.cellAt(r, c)->trackingArea(), CGRectMake(0, 0, 46.25, 26.25));
    }
  }

  grid.layoutRects(8, 8);
  EXPECT_DOUBLE_EQ(grid.gap(), 2.0);
  EXPECT_EQ(grid.cellAt(0, 1)->frame(), CGRectMake(25.25, 0, 23.25, 13.25));
  const CGRect last = grid.cellAt(7, 7)->frame();
  EXPECT_DOUBLE_EQ(last.origin.x + last.size.width, 200);
  EXPECT_DOUBLE_EQ(last.origin.y + last.size.height, 120);
  grid.layoutRectsForModel(model);
  EXPECT_DOUBLE_EQ(grid.gap(), 2.0) << "the gap of layoutRects stays";

  grid.layoutRects(8, 8);
  const std::vector<MatrixRect*> bottom = grid.rects()[7];
  grid.layoutRects(2, 2);
  EXPECT_EQ(grid.rectsPool().size(), 60u);
  // Last in, first out: the old bottom row's last four, from its right end backwards.
  EXPECT_EQ(grid.rects(), (AppRuleMatrixView::Rows{{bottom[7], bottom[6]}, {bottom[5], bottom[4]}}));
  grid.layoutRects(8, 8);
  EXPECT_EQ(grid.cellCount(), 64u) << "a grid shown before makes no new cell";
  EXPECT_TRUE(grid.rectsPool().empty());
  grid.layoutRects(0, 3);
  EXPECT_EQ(grid.rects().size(), 3u);
  EXPECT_TRUE(grid.rects()[0].empty());
}

TEST(GridViewTest, TheArrangedGridTogglesAndPublishesEveryTap) {
  ArrangedMatrixView grid;
  Published out(grid);
  grid.layoutRects(4, 4);
  const auto allOn = [&] {
    grid.matrix = TransformUtils::matrix(65535, 4, 4);
    grid.refreshColors();
  };
  allOn();
  tap(grid.cellAt(0, 0));
  EXPECT_DOUBLE_EQ(grid.cellAt(0, 0)->fill(), 0.1);
  EXPECT_DOUBLE_EQ(grid.cellAt(0, 1)->fill(), 0.6);
  allOn();
  tap(grid.cellAt(3, 3));
  tap(grid.cellAt(3, 3));  // back on: the old value again
  EXPECT_EQ(out.values, (std::vector<std::int64_t>{32767, 65534, 65535}));

  grid.matrix = TransformUtils::matrix(0, 4, 4);
  grid.clearMatrix();  // every cell on, nothing published
  EXPECT_EQ(TransformUtils::matrixValue(grid.matrix), 65535);
  EXPECT_EQ(out.values.size(), 3u);

  // The full 8 x 8 grid is stored as -1; a tap there and back gives it again.
  grid.layoutRects(8, 8);
  grid.matrix = TransformUtils::matrix(-1, 8, 8);
  grid.refreshColors();
  tap(grid.cellAt(7, 7));
  tap(grid.cellAt(7, 7));
  EXPECT_EQ(out.values.back(), -1);

  // A press that began on another cell is no tap; a flag without a cell on show is left alone.
  grid.cellAt(0, 0)->mouseDown();
  grid.cellAt(0, 1)->mouseUp();
  grid.matrix.emplace_back(9, true);
  grid.refreshColors();
  EXPECT_EQ(out.values.size(), 5u);
}

TEST(GridViewTest, TheFixedGridPublishesAFinishedRectangleOnly) {
  FixPostionMatrixView grid;
  Published out(grid);
  grid.layoutRects(4, 4);

  tap(grid.cellAt(0, 0));  // a choice begins: nothing published, the cell alone at 0.3
  EXPECT_TRUE(out.values.empty());
  EXPECT_DOUBLE_EQ(grid.cellAt(0, 0)->fill(), 0.3);
  EXPECT_DOUBLE_EQ(grid.cellAt(0, 1)->fill(), 0.1);
  grid.cellAt(1, 2)->mouseEntered();
  EXPECT_DOUBLE_EQ(grid.cellAt(1, 1)->fill(), 0.3) << "the rectangle follows the pointer";
  grid.cellAt(1, 2)->mouseExited();
  grid.cellAt(2, 3)->mouseEntered();
  tap(grid.cellAt(2, 3));
  EXPECT_EQ(out.values, std::vector<std::int64_t>{65520});
  EXPECT_DOUBLE_EQ(grid.cellAt(2, 3)->fill(), 0.6) << "a finished rectangle stays painted";
  EXPECT_EQ(grid.startRect, nullptr);
  EXPECT_TRUE(grid.endRects.empty());

  tap(grid.cellAt(3, 3));
  grid.cellAt(1, 1)->mouseEntered();
  tap(grid.cellAt(1, 1));
  tap(grid.cellAt(2, 0));
  tap(grid.cellAt(2, 0));  // the same cell twice: that one cell
  EXPECT_EQ(out.values, (std::vector<std::int64_t>{65520, 1911, 128}));

  grid.setMatrixValue(65520, 4, 4);  // shown, never published
  EXPECT_DOUBLE_EQ(grid.cellAt(0, 0)->fill(), 0.6);
  EXPECT_DOUBLE_EQ(grid.cellAt(3, 0)->fill(), 0.1);
  grid.setMatrixValue(-1, 8, 8);  // larger than the grid on show: only its cells
  EXPECT_DOUBLE_EQ(grid.cellAt(3, 3)->fill(), 0.6);
  EXPECT_EQ(out.values.size(), 3u);
}

}  // namespace
}  // namespace tilvane::test
