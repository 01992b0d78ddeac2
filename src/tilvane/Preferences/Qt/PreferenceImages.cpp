#include "Preferences/Qt/PreferenceImages.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace tilvane {

QPixmap preferenceImage(const std::string& name, QSize size) {
  const QString path = QStringLiteral(":/icons/%1.svg").arg(QString::fromStdString(name));
  if (name.empty() || size.isEmpty() || !QFile::exists(path)) return {};
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(size * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return pixmap;
}

}  // namespace tilvane
