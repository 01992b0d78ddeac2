#include "BuildInLayoutAction/ChooserWindow/LayoutAlertWindow.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "BuildInLayoutAction/ChooserWindow/ChooserLogoPainter.h"
#include "BuildInLayoutAction/ChooserWindow/QtChooserKeys.h"
#include "platform/desktop/NSApplication.h"

namespace tilvane {
namespace {

int toPixels(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::lround(std::clamp(v, -1e6, 1e6)));
}

QColor borderColor() {
  QColor color;
  color.setRgbF(static_cast<float>(kChooserBorderColor.red), static_cast<float>(kChooserBorderColor.green),
                static_cast<float>(kChooserBorderColor.blue), static_cast<float>(kChooserBorderColor.alpha));
  return color;
}

/// The ring of width `width` along the inside of `rect`.
QPainterPath borderRing(const QRectF& rect, double width) {
  QPainterPath ring;
  ring.setFillRule(Qt::OddEvenFill);
  ring.addRect(rect);
  const QRectF inner = rect.adjusted(width, width, -width, -width);
  if (inner.isValid()) ring.addRect(inner);
  return ring;
}

}  // namespace

LayoutAlertWindow::Window::Window()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(false);
  setFocusPolicy(Qt::StrongFocus);
  resize(200, 200);
}

bool LayoutAlertWindow::Window::event(QEvent* event) {
  // Key presses go to the chooser, all of them: none reaches the widget's own Tab handling.
  if (event->type() == QEvent::KeyPress) {
    if (const auto key = chooserKeyEvent(static_cast<const QKeyEvent&>(*event)); key && handler) handler(*key);
    return true;
  }
  return QWidget::event(event);
}

QRectF LayoutAlertWindow::Window::logoArea() const {
  const QPointF centre = QRectF(rect()).center();
  return QRectF(centre.x() - kChooserLogoSize / 2, centre.y() - kChooserLogoSize / 2, kChooserLogoSize,
                kChooserLogoSize);
}

void LayoutAlertWindow::Window::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect(), Qt::transparent);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (borderWidth > 0) painter.fillPath(borderRing(QRectF(rect()), borderWidth), borderColor());
  paintChooserLogo(painter, logoArea(), logo, look);
}

void LayoutAlertWindow::Window::resizeEvent(QResizeEvent*) { reshape(); }

void LayoutAlertWindow::Window::reshape() {
  QRegion shape = windowShape(chooserLogoOutline(logoArea()));
  const int border = toPixels(borderWidth);
  if (border > 0) shape += QRegion(rect()).subtracted(QRegion(rect().adjusted(border, border, -border, -border)));
  setMask(shape);
}

LayoutAlertWindow::LayoutAlertWindow() = default;
LayoutAlertWindow::~LayoutAlertWindow() = default;

void LayoutAlertWindow::setKeyDownHandler(KeyDownHandler handler) { window_.handler = std::move(handler); }

void LayoutAlertWindow::setLogo(ChooserLogo logo) {
  window_.logo = logo;
  window_.update();
}

void LayoutAlertWindow::setBorderWidth(double width) {
  window_.borderWidth = std::isfinite(width) ? std::max(width, 0.0) : 0.0;
  window_.reshape();
  window_.update();
}

void LayoutAlertWindow::setFrame(const CGRect& frame) {
  window_.setGeometry(toPixels(frame.origin.x), toPixels(frame.origin.y), std::max(toPixels(frame.size.width), 1),
                      std::max(toPixels(frame.size.height), 1));
  window_.reshape();
  window_.repaint();
}

void LayoutAlertWindow::setIsVisible(bool visible) {
  if (!visible) {
    window_.hide();
    return;
  }
  window_.show();
  window_.raise();
  window_.activateWindow();
  window_.setFocus(Qt::ActiveWindowFocusReason);
  // The chooser takes the keyboard: it is the key window the program's activation brings forward.
  NSApplication::makeKeyAndOrderFront(window_.winId());
}

void LayoutAlertWindow::setLevel(CGWindowLevel level) {
  const bool floating = level >= CGWindowLevelForKey(CGWindowLevelKey::kCGFloatingWindowLevelKey);
  if (window_.windowFlags().testFlag(Qt::WindowStaysOnTopHint) != floating) {
    // Changing a window's flags takes it off the screen; it comes back as it was.
    const bool shown = window_.isVisible();
    window_.setWindowFlag(Qt::WindowStaysOnTopHint, floating);
    if (shown) setIsVisible(true);
  }
  NSApplication::setWindowLevel(static_cast<std::uint64_t>(window_.winId()), level);
}

}  // namespace tilvane
