#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

class QSvgRenderer;

namespace tilvane {

/// The drawing stretched over `size` (device-independent pixels; `ratio` device pixels to each), antialiased, on
/// a clear ground; with `tint`, every shape in that colour, its coverage kept. The pixmap holds no paint engine:
/// one that was painted on keeps the engine and its buffers, several times a small icon's pixels, as long as
/// it lives.
QPixmap drawSvg(QSvgRenderer& renderer, QSize size, qreal ratio = 1.0, const QColor* tint = nullptr);

/// The SVG file or resource at `path` drawn as above; null when it cannot be read or the size is empty.
QPixmap drawSvg(const QString& path, QSize size, qreal ratio = 1.0);

}  // namespace tilvane
