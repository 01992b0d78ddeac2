#pragma once

#include <QPixmap>
#include <string>

#include "Models/AppDescriptor.h"

namespace tilvane {

/// The image an application declares: the file at `icon` when it is a path that reads as an image, else the
/// icon of that name in the desktop's icon theme; null when neither gives one. `side` is the size wanted.
QPixmap declaredAppImage(const std::string& icon, int side);

/// One of the pane's named images ("MacApp.png", "Finder", "Finder.png": our own artwork) at `side` points;
/// null for another name.
QPixmap namedAppImage(const std::string& name, int side);

/// The image to show for `app`: its declared image, else the named image `finderImage` for the application
/// named exactly "Finder", else "MacApp.png".
QPixmap appImage(const AppDescriptor& app, const std::string& finderImage, int side);

}  // namespace tilvane
