#include "BuildInLayoutAction/ChooserWindow/ChooserLogoPainter.h"

#include <QColor>
#include <QPen>

namespace tilvane {
namespace {

QColor fillOf(ChooserLogo logo) {
  QColor color;
  if (logo == ChooserLogo::layoutCenter) {
    color.setRgbF(static_cast<float>(kChooserBorderColor.red), static_cast<float>(kChooserBorderColor.green),
                  static_cast<float>(kChooserBorderColor.blue), 0.9f);
  } else {
    color.setRgbF(0.55f, 0.55f, 0.58f, 0.9f);
  }
  return color;
}

}  // namespace

QPainterPath chooserLogoOutline(const QRectF& area) {
  QPainterPath path;
  const double radius = area.width() * 0.14;
  path.addRoundedRect(area, radius, radius);
  return path;
}

void paintChooserLogo(QPainter& painter, const QRectF& area, ChooserLogo logo, const TranslucentLook& look) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(chooserLogoOutline(area), look.painted(fillOf(logo)));

  // A screen outline with the centred window the chooser's Return key gives.
  const double side = area.width();
  const QRectF screen = area.adjusted(side * 0.18, side * 0.24, -side * 0.18, -side * 0.24);
  painter.setPen(QPen(Qt::white, side * 0.04));
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(screen, side * 0.04, side * 0.04);
  const QRectF window(screen.center().x() - screen.width() / 4, screen.center().y() - screen.height() / 4,
                      screen.width() / 2, screen.height() / 2);
  painter.fillRect(window, Qt::white);
  painter.restore();
}

}  // namespace tilvane
