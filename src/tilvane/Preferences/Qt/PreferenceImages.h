#pragma once

#include <QPixmap>
#include <QSize>
#include <string>

namespace tilvane {

/// The program's named image ("PreferenceGeneral", "Logo", ...) from resources/icons, drawn at `size` (in
/// device-independent pixels, sharp on dense screens) and stretched to it. A name without an image gives a
/// null pixmap.
QPixmap preferenceImage(const std::string& name, QSize size);

}  // namespace tilvane
