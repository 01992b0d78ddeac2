#pragma once

#include <cstdint>

#include "AppManager/Geometry/TransformUtils.h"
#include "RuleLayout/Grid/AppRuleMatrixView.h"

namespace tilvane {

/// An on/off grid for layouts arranged in cells: a tap toggles one cell and publishes the packed grid value.
class ArrangedMatrixView final : public AppRuleMatrixView {
 public:
  static constexpr double kSelectedFill = 0.6;

  /// The packed grid value after each tap.
  rx::PublishSubject<std::int64_t>& matrixValueChanged() { return matrixValueChanged_; }
  /// One flag per cell, true when selected; the owner assigns it after each layout.
  TransformUtils::Matrix matrix;

  /// Paints every cell from `matrix`; flags without a cell on show are skipped.
  void refreshColors();
  /// Turns every cell on and repaints; publishes nothing.
  void clearMatrix();

  void mouseClick(MatrixRect& cell) override;
  void onEntered(MatrixRect&) override {}
  void onExited(MatrixRect&) override {}

 private:
  rx::PublishSubject<std::int64_t> matrixValueChanged_;
};

}  // namespace tilvane
