#include "Shell/MenuBar/Tray/NamedImages.h"

#include <QFile>
#include <QSvgRenderer>
#include <memory>

#include "UI/Widgets/SvgDrawing.h"

namespace tilvane {
namespace {

std::unique_ptr<QSvgRenderer> rendererFor(const std::string& name) {
  const QString path = QStringLiteral(":/icons/%1.svg").arg(QString::fromStdString(name));
  if (name.empty() || !QFile::exists(path)) return nullptr;
  auto renderer = std::make_unique<QSvgRenderer>(path);
  if (!renderer->isValid()) return nullptr;
  return renderer;
}

}  // namespace

QIcon namedImage(const std::string& name, bool isTemplate, const QColor& templateColor) {
  const std::unique_ptr<QSvgRenderer> renderer = rendererFor(name);
  if (!renderer) return {};
  QIcon icon;
  for (const int side : {16, 22, 24, 32, 48})
    icon.addPixmap(drawSvg(*renderer, QSize(side, side), 1.0, isTemplate ? &templateColor : nullptr));
  return icon;
}

QPixmap namedPixmap(const std::string& name, QSize size, qreal ratio) {
  if (size.isEmpty()) return {};
  const std::unique_ptr<QSvgRenderer> renderer = rendererFor(name);
  if (!renderer) return {};
  return drawSvg(*renderer, size, ratio);
}

}  // namespace tilvane
