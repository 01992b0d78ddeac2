#pragma once

#include <QWidget>

#include "RuleLayout/Grid/AppRuleMatrixView.h"

namespace tilvane {

/// Shows a grid editor in Qt Widgets: paints its cells (blue at each cell's opacity, a grey border of width 1)
/// and hands them the pointer: a press and the release that follows go to the grid (with the pressed cell and
/// the cell under the release), and the pointer entering and leaving a cell's tracking area go to that cell. The grid outlives the widget. Main thread only.
class QtMatrixView final : public QWidget {
 public:
  explicit QtMatrixView(AppRuleMatrixView& grid, QWidget* parent = nullptr);
  ~QtMatrixView() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  MatrixRect* cellUnder(const QPointF& point, bool trackingArea) const;
  void hover(MatrixRect* cell);

  AppRuleMatrixView& grid_;
  MatrixRect* pressed_ = nullptr;
  MatrixRect* hovered_ = nullptr;
};

}  // namespace tilvane
