#include "RuleLayout/Grid/FixPostionMatrixView.h"

#include <algorithm>

#include "AppManager/Geometry/TransformUtils.h"

namespace tilvane {

void FixPostionMatrixView::mouseClick(MatrixRect& cell) {
  if (!startRect) {
    startRect = &cell;
    endRects.push_back(&cell);
  } else {
    endRect = &cell;
  }
  updateSelection();
}

void FixPostionMatrixView::pressed(MatrixRect& cell) {
  startedByPress_ = !startRect;
  if (!startedByPress_) {
    cell.mouseDown();
    return;
  }
  startRect = &cell;
  endRects.assign(1, &cell);
  updateSelection();
}

void FixPostionMatrixView::released(MatrixRect& pressedCell, MatrixRect* over) {
  if (!startedByPress_) {
    pressedCell.mouseUp();
    return;
  }
  startedByPress_ = false;
  if (!startRect || !over || over == startRect) return;
  if (endRects.empty() || endRects.back() != over) endRects.push_back(over);
  endRect = over;
  updateSelection();
}

void FixPostionMatrixView::onEntered(MatrixRect& cell) {
  if (!startRect) return;
  endRects.push_back(&cell);
  updateSelection();
}

void FixPostionMatrixView::onExited(MatrixRect& cell) {
  if (!startRect) return;
  if (!endRects.empty() && endRects.back() == &cell) endRects.pop_back();
  updateSelection();
}

void FixPostionMatrixView::updateSelection() {
  if (!startRect || endRects.empty()) return;
  const MatrixRect* corner = endRects.back();
  for (const auto& row : rects())
    for (MatrixRect* cell : row) cell->setFill(MatrixRect::kNewFill);
  const auto [startRow, startColumn] = position(startRect);
  const auto [cornerRow, cornerColumn] = position(corner);
  const std::size_t top = std::min(startRow, cornerRow), bottom = std::max(startRow, cornerRow);
  const std::size_t left = std::min(startColumn, cornerColumn), right = std::max(startColumn, cornerColumn);
  TransformUtils::Matrix grid;
  for (std::size_t r = 0; r < rects().size(); ++r) {
    grid.emplace_back(rects()[r].size(), false);
    for (std::size_t c = 0; c < rects()[r].size(); ++c) {
      if (r < top || r > bottom || c < left || c > right) continue;
      grid[r][c] = true;
      rects()[r][c]->setFill(endRect ? kChosenFill : kChoosingFill);
    }
  }
  repainted();
  if (!endRect) return;
  matrixValueChanged_.onNext(TransformUtils::matrixValue(grid));
  startRect = nullptr;
  endRect = nullptr;
  endRects.clear();
}

void FixPostionMatrixView::setMatrixValue(std::int64_t value, int columns, int rows) {
  const TransformUtils::Matrix grid = TransformUtils::matrix(value, columns, rows);
  for (std::size_t r = 0; r < grid.size(); ++r)
    for (std::size_t c = 0; c < grid[r].size(); ++c)
      if (MatrixRect* cell = cellAt(r, c)) cell->setFill(grid[r][c] ? kChosenFill : MatrixRect::kNewFill);
  repainted();
}

}  // namespace tilvane
