#pragma once

#include <cstdint>
#include <vector>

#include "RuleLayout/Grid/AppRuleMatrixView.h"

namespace tilvane {

/// A rectangle picker for a fixed position and size: a tap on a first cell, a pointer move and a tap on a
/// second cell choose the cells between them, published as a packed grid value; so does a press on the first
/// cell, a drag and a release on the second. The rectangle shows while it is drawn. Idle while startRect is
/// null; choosing otherwise. An owner returns it to idle by clearing the three choice fields.
class FixPostionMatrixView final : public AppRuleMatrixView {
 public:
  static constexpr double kChoosingFill = 0.3;
  static constexpr double kChosenFill = 0.6;

  /// The packed value of each finished rectangle.
  rx::PublishSubject<std::int64_t>& matrixValueChanged() { return matrixValueChanged_; }

  MatrixRect* startRect = nullptr;
  MatrixRect* endRect = nullptr;
  /// Cells entered since the choice began, the start cell first, the latest last.
  std::vector<MatrixRect*> endRects;

  /// Shows a stored value over the `columns` × `rows` cells on show; publishes nothing.
  void setMatrixValue(std::int64_t value, int columns, int rows);
  /// Repaints the rectangle under choice, and publishes it once finished.
  void updateSelection();

  void mouseClick(MatrixRect& cell) override;
  /// Idle, a press starts the choice at once, so a drag draws the rectangle; choosing, it is a tap's press.
  void pressed(MatrixRect& cell) override;
  /// After a press that started the choice: a release on another cell ends it there; on the same cell (a
  /// tap) or outside the grid, the choice goes on, to be ended by a tap.
  void released(MatrixRect& pressedCell, MatrixRect* over) override;
  void onEntered(MatrixRect& cell) override;
  void onExited(MatrixRect& cell) override;

 private:
  rx::PublishSubject<std::int64_t> matrixValueChanged_;
  /// The button is down and its press started the choice.
  bool startedByPress_ = false;
};

}  // namespace tilvane
