#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <string>

namespace tilvane {

/// The program's named image ("Menu", "halfLeftMenu", ...) from its resources, drawn at the usual tray and menu
/// sizes. A template image is drawn in `templateColor` (its shapes keep their coverage; the colour is the
/// menu's or tray's text colour); any other as it is. A name without an image gives an empty icon.
QIcon namedImage(const std::string& name, bool isTemplate, const QColor& templateColor);

/// The named image stretched over `size` (device-independent pixels; `ratio` device pixels to each). Null when
/// there is no such image or the size is empty.
QPixmap namedPixmap(const std::string& name, QSize size, qreal ratio = 1.0);

}  // namespace tilvane
