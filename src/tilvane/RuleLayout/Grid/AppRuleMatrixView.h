#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "RuleLayout/Grid/MatrixRect.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// The base grid of the advanced window's editors: rows × columns cells over a fixed 200 × 120 area, laid out
/// with a gap between them, cells kept in a pool for reuse, and each cell's tap, enter and exit routed to
/// mouseClick, onEntered and onExited. It holds no widget: QtMatrixView paints it and feeds it the pointer.
/// Main thread only.
class AppRuleMatrixView {
 public:
  using Rows = std::vector<std::vector<MatrixRect*>>;

  AppRuleMatrixView() = default;
  virtual ~AppRuleMatrixView() = default;
  AppRuleMatrixView(const AppRuleMatrixView&) = delete;
  AppRuleMatrixView& operator=(const AppRuleMatrixView&) = delete;

  /// Sets the gap to 2.0, then lays out `columns` × `rows` cells.
  void layoutRects(int columns, int rows);
  /// Lays out the model's width (columns) × height (rows) cells with the current gap.
  template <class Model>
  void layoutRectsForModel(const Model& model) {
    layout(static_cast<int>(model.width()), static_cast<int>(model.height()));
  }

  /// A cell for the next position of a layout: the last one put back in the pool, else a new one.
  virtual MatrixRect* dequeueRect();
  virtual void mouseClick(MatrixRect& cell);
  /// The pointer's button went down on `cell`; by default the cell's own press.
  virtual void pressed(MatrixRect& cell) { cell.mouseDown(); }
  /// The button came up over `over` (null: over no cell) after going down on `pressedCell`; by default the
  /// pressed cell's release, a tap.
  virtual void released(MatrixRect& pressedCell, MatrixRect* over) {
    (void)over;
    pressedCell.mouseUp();
  }
  virtual void onEntered(MatrixRect& cell);
  virtual void onExited(MatrixRect& cell);

  double width() const { return width_; }
  double height() const { return height_; }
  double gap() const { return gap_; }
  /// The cells on show, rows from the top, cells from the left.
  const Rows& rects() const { return rects_; }
  const std::vector<MatrixRect*>& rectsPool() const { return rectsPool_; }
  /// Every cell this view ever made.
  std::size_t cellCount() const { return cells_.size(); }

  /// Where (row, column) `cell` stands on show; (0, 0) when it is not.
  std::pair<std::size_t, std::size_t> position(const MatrixRect* cell) const;
  bool isOnShow(const MatrixRect* cell) const;
  /// The cell on show at (row, column), or null.
  MatrixRect* cellAt(std::size_t row, std::size_t column) const;

  /// Called after the cells or their fills changed, so a view can repaint.
  void setRepaint(std::function<void()> repaint) { repaint_ = std::move(repaint); }

 protected:
  void layout(int columns, int rows);
  void repainted() const {
    if (repaint_) repaint_();
  }

  rx::DisposeBag disposeBag_;

 private:
  static constexpr double kWidth = 200.0;
  static constexpr double kHeight = 120.0;

  double width_ = kWidth;
  double height_ = kHeight;
  double gap_ = 5.0;
  Rows rects_;
  std::vector<MatrixRect*> rectsPool_;
  std::vector<std::unique_ptr<MatrixRect>> cells_;
  std::function<void()> repaint_;
};

}  // namespace tilvane
