#include "UI/HUD/QtHUDWindow.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tilvane {
namespace {

constexpr double kCornerRadius = 10;

QColor toQColor(const HUDColor& c) {
  QColor color;
  color.setRgbF(static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
                static_cast<float>(c.alpha));
  return color;
}

int toPixels(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::lround(std::clamp(v, -1e6, 1e6)));
}

}  // namespace

// Not a tool window: Qt makes those transient for the program's leader window, and a window manager puts a managed
// message on one desktop, may switch there to show it, and frames it in an opaque window no compositor fades.
QtHUDWindow::Window::Window()
    : QWidget(nullptr, Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint |
                           Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  label.setWordWrap(false);
  label.setAlignment(Qt::AlignCenter);
  label.setTextFormat(Qt::PlainText);
  label.setAutoFillBackground(false);
  label.setAttribute(Qt::WA_TransparentForMouseEvents);
  resize(500, 160);
}

void QtHUDWindow::Window::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double inset = borderWidth / 2;
  const QRectF area = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
  QPainterPath path;
  path.addRoundedRect(area, kCornerRadius, kCornerRadius);
  // Where nothing composites the mask cuts the corners; a smoothed edge there would only blend into black.
  if (look.composited())
    painter.fillPath(path, background);
  else
    painter.fillRect(rect(), look.painted(background));
  if (borderWidth > 0) {
    painter.setPen(QPen(look.painted(border), borderWidth));
    painter.drawPath(path);
  }
}

void QtHUDWindow::Window::resizeEvent(QResizeEvent*) {
  centreLabel();
  reshape();
}

QPainterPath QtHUDWindow::Window::outline() const {
  QPainterPath path;
  path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
  return path;
}

void QtHUDWindow::Window::reshape() { look.shapeUnlessComposited(*this, outline()); }

void QtHUDWindow::Window::centreLabel() {
  label.move((width() - label.width()) / 2, (height() - label.height()) / 2);
}

QtHUDWindow::QtHUDWindow() = default;
QtHUDWindow::~QtHUDWindow() = default;

void QtHUDWindow::setText(const std::string& text) { window_.label.setText(QString::fromStdString(text)); }

void QtHUDWindow::setFontSize(double points) {
  QFont font = window_.label.font();
  font.setPointSizeF(points);
  window_.label.setFont(font);
}

void QtHUDWindow::setTextColor(const HUDColor& color) {
  QPalette palette = window_.label.palette();
  palette.setColor(QPalette::WindowText, toQColor(color));
  window_.label.setPalette(palette);
}

void QtHUDWindow::setBackgroundColor(const HUDColor& color) {
  window_.background = toQColor(color);
  window_.update();
}

void QtHUDWindow::setBorderWidth(double width) {
  window_.borderWidth = std::isfinite(width) ? std::max(width, 0.0) : 0.0;
  window_.update();
}

void QtHUDWindow::setBorderColor(const HUDColor& color) {
  window_.border = toQColor(color);
  window_.update();
}

CGSize QtHUDWindow::sizeToFit() {
  window_.label.adjustSize();
  return CGSize{static_cast<double>(window_.label.width()), static_cast<double>(window_.label.height())};
}

void QtHUDWindow::setFrame(const CGRect& frame) {
  window_.setGeometry(toPixels(frame.origin.x), toPixels(frame.origin.y), toPixels(frame.size.width),
                      toPixels(frame.size.height));
  window_.centreLabel();
  window_.reshape();
  window_.update();
}

void QtHUDWindow::orderFront() {
  window_.show();
  window_.raise();
}

void QtHUDWindow::orderOut() { window_.hide(); }

void QtHUDWindow::setAlpha(double alpha) {
  window_.setWindowOpacity(std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 0.0);
}

}  // namespace tilvane
