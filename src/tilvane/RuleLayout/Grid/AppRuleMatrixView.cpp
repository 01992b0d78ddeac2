#include "RuleLayout/Grid/AppRuleMatrixView.h"

#include <algorithm>
#include <cstdio>

namespace tilvane {

void AppRuleMatrixView::layoutRects(int columns, int rows) {
  gap_ = 2.0;
  layout(columns, rows);
}

void AppRuleMatrixView::layout(int columns, int rows) {
  for (const auto& row : rects_)
    for (MatrixRect* cell : row) rectsPool_.push_back(cell);
  rects_.clear();
  columns = std::max(columns, 0);
  rows = std::max(rows, 0);
  const double w = columns > 0 ? (width_ - (columns - 1) * gap_) / columns : 0;
  const double h = rows > 0 ? (height_ - (rows - 1) * gap_) / rows : 0;
  for (int r = 0; r < rows; ++r) {
    rects_.emplace_back();
    for (int c = 0; c < columns; ++c) {
      MatrixRect* cell = dequeueRect();
      cell->setFrame(CGRectMake(c * gap_ + c * w, r * gap_ + r * h, w, h));
      rects_.back().push_back(cell);
      cell->setupTrackingArea();
    }
  }
  repainted();
}

MatrixRect* AppRuleMatrixView::dequeueRect() {
  if (!rectsPool_.empty()) {
    MatrixRect* cell = rectsPool_.back();
    rectsPool_.pop_back();
    return cell;
  }
  MatrixRect& cell = *cells_.emplace_back(std::make_unique<MatrixRect>());
  // The cells live as long as this view and their subjects with them.
  cell.rxTap().subscribe([this](MatrixRect* c) { mouseClick(*c); }).disposed(disposeBag_);
  cell.rxEntered().subscribe([this](MatrixRect* c) { onEntered(*c); }).disposed(disposeBag_);
  cell.rxExited().subscribe([this](MatrixRect* c) { onExited(*c); }).disposed(disposeBag_);
  return &cell;
}

void AppRuleMatrixView::mouseClick(MatrixRect&) { std::puts("please override mouseClick"); }
void AppRuleMatrixView::onEntered(MatrixRect&) { std::puts("please override onEntered"); }
void AppRuleMatrixView::onExited(MatrixRect&) { std::puts("please override onExited"); }

std::pair<std::size_t, std::size_t> AppRuleMatrixView::position(const MatrixRect* cell) const {
  for (std::size_t r = 0; r < rects_.size(); ++r)
    for (std::size_t c = 0; c < rects_[r].size(); ++c)
      if (rects_[r][c] == cell) return {r, c};
  return {0, 0};
}

bool AppRuleMatrixView::isOnShow(const MatrixRect* cell) const {
  for (const auto& row : rects_)
    if (std::find(row.begin(), row.end(), cell) != row.end()) return true;
  return false;
}

MatrixRect* AppRuleMatrixView::cellAt(std::size_t row, std::size_t column) const {
  return row < rects_.size() && column < rects_[row].size() ? rects_[row][column] : nullptr;
}

}  // namespace tilvane
