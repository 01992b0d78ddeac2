#include "RuleLayout/Qt/AppImages.h"

#include <QFile>
#include <QIcon>
#include <QImageReader>

#include "UI/Widgets/SvgDrawing.h"

namespace tilvane {
namespace {

// Icon files are other programs' data: a bound on what is decoded.
constexpr qint64 kMaxIconFileBytes = 8 * 1024 * 1024;

QPixmap readImageFile(const QString& path, int side) {
  QFile file(path);
  if (!file.exists() || file.size() > kMaxIconFileBytes) return {};
  QImageReader reader(path);
  QImage image;
  if (!reader.read(&image) || image.isNull()) return {};
  return QPixmap::fromImage(image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace

QPixmap declaredAppImage(const std::string& icon, int side) {
  if (icon.empty()) return {};
  const QString name = QString::fromStdString(icon);
  if (name.startsWith('/')) return readImageFile(name, side);
  const QIcon themed = QIcon::fromTheme(name);
  if (themed.isNull()) return {};
  return themed.pixmap(side, side);
}

QPixmap namedAppImage(const std::string& name, int side) {
  // The names carry the image type of the original artwork; ours are vector drawings of the same names.
  if (name == "MacApp.png") return drawSvg(QStringLiteral(":/apps/MacApp.svg"), QSize(side, side));
  if (name == "Finder" || name == "Finder.png") return drawSvg(QStringLiteral(":/apps/Finder.svg"), QSize(side, side));
  return {};
}

QPixmap appImage(const AppDescriptor& app, const std::string& finderImage, int side) {
  QPixmap image = declaredAppImage(app.icon, side);
  if (!image.isNull()) return image;
  return namedAppImage(app.name == "Finder" ? finderImage : "MacApp.png", side);
}

}  // namespace tilvane
