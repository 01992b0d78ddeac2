#include <gtest/gtest.h>

#include <limits>

#include "AppManager/Geometry/TransformUtils.h"

namespace tilvane {
namespace {

using Matrix = TransformUtils::Matrix;
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

Matrix grid(int columns, int rows, std::initializer_list<std::pair<int, int>> selected) {
  Matrix g(static_cast<std::size_t>(rows), std::vector<bool>(static_cast<std::size_t>(columns), false));
  for (auto [r, c] : selected) g[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = true;
  return g;
}
Matrix full(int columns, int rows) {
  return Matrix(static_cast<std::size_t>(rows), std::vector<bool>(static_cast<std::size_t>(columns), true));
}

TEST(GridValue, PacksInReadingOrderFromTheHighestUsedBit) {
  EXPECT_EQ(TransformUtils::matrixValue(grid(4, 4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}})), 61440);
  EXPECT_EQ(TransformUtils::matrix(52224, 4, 4), grid(4, 4, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
  EXPECT_EQ(TransformUtils::matrix(9, 3, 2), grid(3, 2, {{0, 2}, {1, 2}}));
  for (int rows = 1; rows <= 8; ++rows)
    for (int columns = 1; columns <= 8; ++columns)
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
          const Matrix one = grid(columns, rows, {{r, c}});
          ASSERT_EQ(TransformUtils::matrix(TransformUtils::matrixValue(one), columns, rows), one)
              << rows << "x" << columns << " " << r << "," << c;
        }
}

TEST(GridValue, SignBitOversizedAndDegenerateShapes) {
  // The full 8 × 8 grid is -1; the top-left cell alone is bit 63, the most negative value.
  EXPECT_EQ(TransformUtils::matrixValue(full(8, 8)), -1);
  EXPECT_EQ(TransformUtils::matrixValue(grid(8, 8, {{0, 0}})), kMin);
  // 9 × 8 = 72 cells: bits 64..71 repeat the sign bit, and packing ignores them.
  const Matrix negative = TransformUtils::matrix(kMin, 9, 8);
  EXPECT_EQ(negative[0], std::vector<bool>(9, true));
  EXPECT_EQ(TransformUtils::matrixValue(negative), kMin);
  // Empty, negative and damaged huge dimensions.
  EXPECT_TRUE(TransformUtils::matrix(65535, 4, 0).empty());
  EXPECT_TRUE(TransformUtils::matrix(65535, -4, -4).empty());
  EXPECT_EQ(TransformUtils::matrixValue({}), 0);
  const Matrix huge = TransformUtils::matrix(-1, 5'000'000, 3'000'000);
  ASSERT_EQ(huge.size(), 64u);
  EXPECT_EQ(huge.front().size(), 64u);
}

TEST(GridValue, ARectangleSelectsTheCellsWhoseCornerItCovers) {
  const Matrix quarter = TransformUtils::matrixRect(8, 8, CGRectMake(0.25, 0.5, 0.5, 0.5));
  Matrix expected = grid(8, 8, {});
  for (int r = 4; r < 8; ++r)
    for (int c = 2; c < 6; ++c) expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = true;
  EXPECT_EQ(quarter, expected);
  EXPECT_TRUE(TransformUtils::matrixRect(8, 0, CGRectMake(0, 0, 1, 1)).empty());
}

TEST(SpanRect, SpansFromTheFirstToTheLastSelectedCell) {
  // Quarters and halves are exact in binary.
  const Matrix block = grid(4, 4, {{1, 1}, {1, 3}, {2, 1}, {2, 3}});
  EXPECT_EQ(TransformUtils::spanRect(block), CGRectMake(0.25, 0.25, 0.75, 0.5));
  EXPECT_EQ(TransformUtils::spanRect(grid(4, 4, {{0, 2}, {1, 0}})), CGRectMake(0.5, 0, -0.25, 0.5));
  // Nothing selected, or no columns to measure against: no frame.
  EXPECT_FALSE(TransformUtils::spanRect(grid(4, 4, {})));
  EXPECT_FALSE(TransformUtils::spanRect({}));
  EXPECT_FALSE(TransformUtils::spanRect(Matrix{{}, {true}}));
}

TEST(CellRect, WalksTheSelectedCellsAndWrapsAround) {
  const Matrix three = grid(4, 2, {{0, 1}, {0, 3}, {1, 0}});
  EXPECT_EQ(TransformUtils::cellRect(three, 0), CGRectMake(0.25, 0, 0.25, 0.5));
  EXPECT_EQ(TransformUtils::cellRect(three, 4), CGRectMake(0.75, 0, 0.25, 0.5));
  EXPECT_EQ(TransformUtils::cellRect(three, -1), CGRectMake(0, 0.5, 0.25, 0.5));
  EXPECT_EQ(TransformUtils::cellRect(three, std::numeric_limits<int>::min()), CGRectMake(0.75, 0, 0.25, 0.5));
  EXPECT_EQ(TransformUtils::cellRect(grid(4, 4, {}), 3), CGRectMake(0, 0, 1, 1));
}

}  // namespace
}  // namespace tilvane
