#pragma once

#include <QColor>
#include <QIcon>
#include <string>

namespace tilvane {

/// The program's named image ("Menu", "halfLeftMenu", ...) from its resources, drawn at the usual tray and menu
/// sizes. A template image is drawn in `templateColor` (its shapes keep their coverage; the colour is the
/// menu's or tray's text colour); any other as it is. A name without an image gives an empty icon.
QIcon namedImage(const std::string& name, bool isTemplate, const QColor& templateColor);

}  // namespace tilvane
