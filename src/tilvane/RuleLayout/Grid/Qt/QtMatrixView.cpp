#include "RuleLayout/Grid/Qt/QtMatrixView.h"

#include <QMouseEvent>
#include <QPainter>

namespace tilvane {
namespace {
QRectF qt(const CGRect& r) { return QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height); }
}  // namespace

QtMatrixView::QtMatrixView(AppRuleMatrixView& grid, QWidget* parent) : QWidget(parent), grid_(grid) {
  setFixedSize(static_cast<int>(grid.width()), static_cast<int>(grid.height()));
  setMouseTracking(true);
  grid_.setRepaint([this] {
    // A layout may have put the pressed or hovered cell back into the pool.
    if (pressed_ && !grid_.isOnShow(pressed_)) pressed_ = nullptr;
    if (hovered_ && !grid_.isOnShow(hovered_)) hovered_ = nullptr;
    update();
  });
}

QtMatrixView::~QtMatrixView() { grid_.setRepaint({}); }

void QtMatrixView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(QColor(128, 128, 128), 1.0));
  for (const auto& row : grid_.rects()) {
    for (const MatrixRect* cell : row) {
      painter.setBrush(QColor::fromRgbF(0, 0, 1, static_cast<float>(cell->fill())));
      // The pen is centred on the edge: draw inside the cell's own rectangle.
      painter.drawRect(qt(cell->frame()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
  }
}

MatrixRect* QtMatrixView::cellUnder(const QPointF& point, bool trackingArea) const {
  for (const auto& row : grid_.rects()) {
    for (MatrixRect* cell : row) {
      CGRect area = cell->frame();
      if (trackingArea) area.size = cell->trackingArea().size;
      if (qt(area).contains(point)) return cell;
    }
  }
  return nullptr;
}

void QtMatrixView::mousePressEvent(QMouseEvent* event) {
  pressed_ = cellUnder(event->position(), false);
  if (pressed_) grid_.pressed(*pressed_);
}

void QtMatrixView::mouseReleaseEvent(QMouseEvent* event) {
  MatrixRect* cell = pressed_;
  pressed_ = nullptr;
  if (cell) grid_.released(*cell, cellUnder(event->position(), false));
}

void QtMatrixView::mouseMoveEvent(QMouseEvent* event) { hover(cellUnder(event->position(), true)); }

void QtMatrixView::leaveEvent(QEvent*) { hover(nullptr); }

void QtMatrixView::hover(MatrixRect* cell) {
  if (cell == hovered_) return;
  MatrixRect* left = hovered_;
  hovered_ = cell;
  if (left) left->mouseExited();
  if (cell) cell->mouseEntered();
}

}  // namespace tilvane
