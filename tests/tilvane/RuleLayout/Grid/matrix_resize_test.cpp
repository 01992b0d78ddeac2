// Rescaling a grid when its rows or columns change: which old cell each new one samples, and the top-left cell
// switched on when nothing survives.
#include <gtest/gtest.h>

#include "RuleLayout/Grid/MatrixResize.h"

namespace tilvane::test {
namespace {

/// The old column each new column samples, read off a one-row grid whose only cell on is `column`.
std::vector<int> sources(int oldCount, int newCount) {
  std::vector<int> result(static_cast<std::size_t>(newCount), -1);
  for (int column = 0; column < oldCount; ++column) {
    TransformUtils::Matrix grid(1, std::vector<bool>(static_cast<std::size_t>(oldCount)));
    grid[0][static_cast<std::size_t>(column)] = true;
    const auto resized = resizeMatrix(grid, newCount, 1);
    for (int c = 0; c < newCount; ++c)
      if (resized[0][static_cast<std::size_t>(c)] && (column > 0 || c > 0)) result[static_cast<std::size_t>(c)] = column;
  }
  // Column 0 of the result may be on only because nothing else is: it samples old column 0 in every case here.
  result[0] = 0;
  return result;
}

TEST(MatrixResizeTest, EachAxisSamplesTheTruncatedProportionalIndex) {
  EXPECT_EQ(sources(4, 6), (std::vector<int>{0, 0, 1, 2, 2, 3}));
  EXPECT_EQ(sources(4, 3), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(sources(4, 2), (std::vector<int>{0, 2}));
  EXPECT_EQ(sources(8, 5), (std::vector<int>{0, 1, 3, 4, 6}));
  EXPECT_EQ(sources(2, 3), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(sources(5, 5), (std::vector<int>{0, 1, 2, 3, 4}));
  // Rows sample the same way as columns: 4 → 6 takes rows 0, 0, 1, 2, 2, 3.
  EXPECT_EQ(resizeMatrix({{false}, {true}, {false}, {true}}, 1, 6),
            (TransformUtils::Matrix{{false}, {false}, {true}, {false}, {false}, {true}}));
}

TEST(MatrixResizeTest, GridValuesFollowTheExamplesAndAnEmptyResultKeepsItsTopLeftCell) {
  auto resized = [](std::int64_t value, int w, int h, int newW, int newH) {
    return TransformUtils::matrixValue(resizeMatrix(TransformUtils::matrix(value, w, h), newW, newH));
  };
  // Only the bottom-right cell of 4 × 4: 2 rows sample old rows 0 and 2, so the top-left cell is switched on.
  EXPECT_EQ(resized(1, 4, 4, 4, 2), 128);
  EXPECT_EQ(resized(65535, 4, 4, 4, 8), 4294967295);
  EXPECT_EQ(resized(15, 2, 2, 3, 3), 511);
  EXPECT_EQ(resized(15, 2, 2, 8, 8), -1);  // every cell of 8 × 8, as stored
  EXPECT_EQ(resized(-1, 8, 8, 8, 8), -1);
  EXPECT_EQ(resized(1, 4, 4, 4, 4), 1);
  // Input outside the popups' range never reads outside the grid.
  EXPECT_EQ(resizeMatrix({}, 2, 2), (TransformUtils::Matrix{{true, false}, {false, false}}));
  EXPECT_EQ(resizeMatrix({{true}, {}}, 1, 2), (TransformUtils::Matrix{{true}, {false}}));
  EXPECT_TRUE(resizeMatrix({{true}}, 0, 3).empty());
}

}  // namespace
}  // namespace tilvane::test
