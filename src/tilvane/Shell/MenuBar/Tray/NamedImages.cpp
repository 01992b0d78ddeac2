#include "Shell/MenuBar/Tray/NamedImages.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace tilvane {

QIcon namedImage(const std::string& name, bool isTemplate, const QColor& templateColor) {
  const QString path = QStringLiteral(":/icons/%1.svg").arg(QString::fromStdString(name));
  if (name.empty() || !QFile::exists(path)) return {};
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QIcon icon;
  for (const int side : {16, 22, 24, 32, 48}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    if (isTemplate) {
      painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
      painter.fillRect(pixmap.rect(), templateColor);
    }
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace tilvane
