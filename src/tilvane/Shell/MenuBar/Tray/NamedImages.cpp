#include "Shell/MenuBar/Tray/NamedImages.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <memory>

namespace tilvane {
namespace {

std::unique_ptr<QSvgRenderer> rendererFor(const std::string& name) {
  const QString path = QStringLiteral(":/icons/%1.svg").arg(QString::fromStdString(name));
  if (name.empty() || !QFile::exists(path)) return nullptr;
  auto renderer = std::make_unique<QSvgRenderer>(path);
  if (!renderer->isValid()) return nullptr;
  renderer->setAspectRatioMode(Qt::IgnoreAspectRatio);
  return renderer;
}

QPixmap draw(QSvgRenderer& renderer, QSize size, qreal ratio, const QColor* tint) {
  QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    if (tint) {
      painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
      painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), *tint);
    }
  }
  // Handed on as a copy: an image that was painted on keeps its paint engine, with the engine's buffers (several
  // times the pixels of a small icon), for as long as it lives, and icons live as long as the program.
  return QPixmap::fromImage(image.copy());
}

}  // namespace

QIcon namedImage(const std::string& name, bool isTemplate, const QColor& templateColor) {
  const std::unique_ptr<QSvgRenderer> renderer = rendererFor(name);
  if (!renderer) return {};
  QIcon icon;
  for (const int side : {16, 22, 24, 32, 48})
    icon.addPixmap(draw(*renderer, QSize(side, side), 1.0, isTemplate ? &templateColor : nullptr));
  return icon;
}

QPixmap namedPixmap(const std::string& name, QSize size, qreal ratio) {
  if (size.isEmpty()) return {};
  const std::unique_ptr<QSvgRenderer> renderer = rendererFor(name);
  if (!renderer) return {};
  return draw(*renderer, size, ratio, nullptr);
}

}  // namespace tilvane
