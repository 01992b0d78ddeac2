#include "RuleLayout/MatrixResize.h"

#include <algorithm>

namespace tilvane {

TransformUtils::Matrix resizeMatrix(const TransformUtils::Matrix& matrix, int columns, int rows) {
  rows = std::max(rows, 0);
  columns = std::max(columns, 0);
  TransformUtils::Matrix resized(static_cast<std::size_t>(rows), std::vector<bool>(static_cast<std::size_t>(columns)));
  const double oldRows = static_cast<double>(matrix.size());
  const double oldColumns = matrix.empty() ? 0.0 : static_cast<double>(matrix.front().size());
  bool anyOn = false;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      // The division first, as the sampling positions are defined; truncation toward zero.
      const auto sr = static_cast<std::size_t>(static_cast<double>(r) / rows * oldRows);
      const auto sc = static_cast<std::size_t>(static_cast<double>(c) / columns * oldColumns);
      // A ragged or empty old grid has no cell there: read as off.
      const bool on = sr < matrix.size() && sc < matrix[sr].size() && matrix[sr][sc];
      resized[r][c] = on;
      anyOn = anyOn || on;
    }
  }
  if (!anyOn && rows > 0 && columns > 0) resized[0][0] = true;
  return resized;
}

}  // namespace tilvane
