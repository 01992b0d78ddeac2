#include "UI/Widgets/SvgDrawing.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace tilvane {

QPixmap drawSvg(QSvgRenderer& renderer, QSize size, qreal ratio, const QColor* tint) {
  if (size.isEmpty()) return {};
  QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    if (tint) {
      painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
      painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), *tint);
    }
  }
  // A copy: the painted image goes, and its engine with it.
  return QPixmap::fromImage(image.copy());
}

QPixmap drawSvg(const QString& path, QSize size, qreal ratio) {
  if (size.isEmpty()) return {};
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  return drawSvg(renderer, size, ratio);
}

}  // namespace tilvane
