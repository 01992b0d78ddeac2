#include "RuleLayout/Grid/MatrixResize.h"

namespace tilvane {
namespace {
// The division first, then the product, then truncation: the order decides the result at some boundaries.
std::size_t source(std::size_t oldCount, int index, int newCount) {
  return static_cast<std::size_t>(static_cast<double>(oldCount) * (static_cast<double>(index) / newCount));
}
}  // namespace

TransformUtils::Matrix resizeMatrix(const TransformUtils::Matrix& matrix, int width, int height) {
  if (width < 1 || height < 1) return {};
  const std::size_t oldRows = matrix.size();
  const std::size_t oldColumns = matrix.empty() ? 0 : matrix.front().size();
  TransformUtils::Matrix result(static_cast<std::size_t>(height), std::vector<bool>(static_cast<std::size_t>(width)));
  bool anyOn = false;
  for (int r = 0; r < height; ++r) {
    const std::size_t row = source(oldRows, r, height);
    for (int c = 0; c < width; ++c) {
      const std::size_t column = source(oldColumns, c, width);
      const bool on = row < oldRows && column < matrix[row].size() && matrix[row][column];
      result[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = on;
      anyOn = anyOn || on;
    }
  }
  if (!anyOn) result[0][0] = true;
  return result;
}

}  // namespace tilvane
