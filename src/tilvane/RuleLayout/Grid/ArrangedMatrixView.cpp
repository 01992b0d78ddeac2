#include "RuleLayout/Grid/ArrangedMatrixView.h"

namespace tilvane {

void ArrangedMatrixView::refreshColors() {
  for (std::size_t r = 0; r < matrix.size(); ++r)
    for (std::size_t c = 0; c < matrix[r].size(); ++c)
      if (MatrixRect* cell = cellAt(r, c)) cell->setFill(matrix[r][c] ? kSelectedFill : MatrixRect::kNewFill);
  repainted();
}

void ArrangedMatrixView::clearMatrix() {
  for (auto& row : matrix) row.assign(row.size(), true);
  refreshColors();
}

void ArrangedMatrixView::mouseClick(MatrixRect& cell) {
  for (std::size_t r = 0; r < rects().size() && r < matrix.size(); ++r)
    for (std::size_t c = 0; c < rects()[r].size() && c < matrix[r].size(); ++c)
      if (rects()[r][c] == &cell) matrix[r][c] = !matrix[r][c];
  refreshColors();
  matrixValueChanged_.onNext(TransformUtils::matrixValue(matrix));
}

}  // namespace tilvane
