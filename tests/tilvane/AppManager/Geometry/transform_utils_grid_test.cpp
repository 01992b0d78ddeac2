#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "AppManager/Geometry/TransformUtils.h"

namespace tilvane {
namespace {

using Matrix = TransformUtils::Matrix;

Matrix grid(int columns, int rows, std::initializer_list<std::pair<int, int>> selected) {
  Matrix g(static_cast<std::size_t>(rows), std::vector<bool>(static_cast<std::size_t>(columns), false));
  for (auto [r, c] : selected) g[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = true;
  return g;
}

void expectRect(const CGRect& got, double x, double y, double w, double h) {
  EXPECT_DOUBLE_EQ(got.origin.x, x);
  EXPECT_DOUBLE_EQ(got.origin.y, y);
  EXPECT_DOUBLE_EQ(got.size.width, w);
  EXPECT_DOUBLE_EQ(got.size.height, h);
}

TEST(GridValue, PacksInReadingOrderFromTheHighestUsedBit) {
  const Matrix all = TransformUtils::matrix(65535, 4, 4);
  EXPECT_EQ(all, Matrix(4, std::vector<bool>(4, true)));
  EXPECT_EQ(TransformUtils::matrixValue(all), 65535);
  EXPECT_EQ(TransformUtils::matrixValue(grid(4, 4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}})), 61440);
  EXPECT_EQ(TransformUtils::matrixValue(grid(4, 4, {{0, 0}, {0, 1}, {1, 0}, {1, 1}})), 52224);
  EXPECT_EQ(TransformUtils::matrix(9, 3, 2), (Matrix{{false, false, true}, {false, false, true}}));
  EXPECT_EQ(TransformUtils::matrix(52224, 4, 4), grid(4, 4, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
}

TEST(GridValue, TheFullEightByEightGridUsesTheSignBit) {
  EXPECT_EQ(TransformUtils::matrixValue(Matrix(8, std::vector<bool>(8, true))), -1);
  EXPECT_EQ(TransformUtils::matrix(-1, 8, 8), Matrix(8, std::vector<bool>(8, true)));
  // Only the top-left cell: bit 63 alone, the most negative value.
  const Matrix topLeft = grid(8, 8, {{0, 0}});
  EXPECT_EQ(TransformUtils::matrixValue(topLeft), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(TransformUtils::matrix(std::numeric_limits<std::int64_t>::min(), 8, 8), topLeft);
}

TEST(GridValue, CellsBeyondSixtyFourBitsRepeatTheSignBitAndAreIgnoredWhenPacking) {
  // 9 × 8 = 72 cells: bits 64..71 are the eight top-left cells of the top row in reading order.
  const Matrix negative = TransformUtils::matrix(std::numeric_limits<std::int64_t>::min(), 9, 8);
  for (int c = 0; c < 8; ++c) EXPECT_TRUE(negative[0][static_cast<std::size_t>(c)]) << c;
  EXPECT_TRUE(negative[0][8]);  // bit 63 itself
  EXPECT_FALSE(negative[1][0]);
  const Matrix positive = TransformUtils::matrix(std::numeric_limits<std::int64_t>::max(), 9, 8);
  EXPECT_FALSE(positive[0][0]);
  EXPECT_TRUE(positive[7][8]);
  // Packing ignores everything past bit 63.
  EXPECT_EQ(TransformUtils::matrixValue(negative), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(TransformUtils::matrixValue(Matrix(20, std::vector<bool>(20, true))), -1);
}

TEST(GridValue, DegenerateShapes) {
  EXPECT_TRUE(TransformUtils::matrix(65535, 4, 0).empty());
  EXPECT_EQ(TransformUtils::matrix(65535, 0, 3), Matrix(3, std::vector<bool>{}));
  EXPECT_TRUE(TransformUtils::matrix(65535, -4, -4).empty());
  EXPECT_EQ(TransformUtils::matrixValue({}), 0);
}

TEST(GridValue, DamagedHugeDimensionsAreBounded) {
  const Matrix g = TransformUtils::matrix(-1, 5'000'000, 3'000'000);
  ASSERT_EQ(g.size(), 64u);
  EXPECT_EQ(g.front().size(), 64u);
}

TEST(GridValue, RoundTripsEveryCellOfEveryGridSize) {
  for (int rows = 1; rows <= 8; ++rows) {
    for (int columns = 1; columns <= 8; ++columns) {
      for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
          const Matrix one = grid(columns, rows, {{r, c}});
          const std::int64_t value = TransformUtils::matrixValue(one);
          ASSERT_EQ(TransformUtils::matrix(value, columns, rows), one) << rows << "x" << columns << " " << r << "," << c;
        }
      }
    }
  }
}

TEST(SpanRect, SpansFromTheFirstToTheLastSelectedCell) {
  expectRect(*TransformUtils::spanRect(grid(4, 4, {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}})), 0.25, 0.25,
             0.75, 0.5);
  expectRect(*TransformUtils::spanRect(grid(4, 4, {{0, 2}, {1, 0}})), 0.5, 0, -0.25, 0.5);
  expectRect(*TransformUtils::spanRect(TransformUtils::matrix(65535, 4, 4)), 0, 0, 1, 1);
}

TEST(SpanRect, NothingSelectedGivesNoFrame) {
  EXPECT_FALSE(TransformUtils::spanRect(grid(4, 4, {})));
  EXPECT_FALSE(TransformUtils::spanRect({}));
  EXPECT_FALSE(TransformUtils::spanRect(Matrix{{}, {true}}));  // no columns to measure against
}

TEST(CellRect, WalksTheSelectedCellsAndWrapsAround) {
  const Matrix three = grid(4, 2, {{0, 1}, {0, 3}, {1, 0}});
  expectRect(TransformUtils::cellRect(three, 0), 0.25, 0, 0.25, 0.5);
  expectRect(TransformUtils::cellRect(three, 4), 0.75, 0, 0.25, 0.5);
  expectRect(TransformUtils::cellRect(three, 2), 0, 0.5, 0.25, 0.5);
  expectRect(TransformUtils::cellRect(three, -1), 0, 0.5, 0.25, 0.5);
  expectRect(TransformUtils::cellRect(three, std::numeric_limits<int>::min()), 0.75, 0, 0.25, 0.5);
  expectRect(TransformUtils::cellRect(grid(4, 4, {}), 3), 0, 0, 1, 1);
  expectRect(TransformUtils::cellRect({}, 0), 0, 0, 1, 1);
}

TEST(MatrixRect, SelectsTheCellsWhoseTopLeftCornerLiesInTheRectangle) {
  const Matrix got = TransformUtils::matrixRect(8, 8, CGRectMake(0.25, 0.5, 0.5, 0.5));
  Matrix want(8, std::vector<bool>(8, false));
  for (int r = 4; r <= 7; ++r)
    for (int c = 2; c <= 5; ++c) want[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = true;
  EXPECT_EQ(got, want);
  // Negative extents count by magnitude; the packed value shows the block on the editor's grid.
  EXPECT_EQ(TransformUtils::matrixRect(8, 8, CGRectMake(0.25, 0.5, -0.5, -0.5)), want);
  EXPECT_EQ(TransformUtils::matrixValue(TransformUtils::matrixRect(4, 4, CGRectMake(0, 0, 1, 1))), 65535);
}

TEST(MatrixRect, NonFiniteFractionsSelectNothing) {
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(TransformUtils::matrixRect(4, 4, CGRectMake(nan, 0, 1, 1)), Matrix(4, std::vector<bool>(4, false)));
  EXPECT_EQ(TransformUtils::matrixRect(4, 4, CGRectMake(0, 0, inf, nan)), Matrix(4, std::vector<bool>(4, false)));
  EXPECT_TRUE(TransformUtils::matrixRect(4, -1, CGRectMake(0, 0, 1, 1)).empty());
}

}  // namespace
}  // namespace tilvane
