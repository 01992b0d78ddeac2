#include "Preferences/Qt/PreferenceImages.h"

#include <QGuiApplication>

#include "Shell/MenuBar/Tray/NamedImages.h"

namespace tilvane {

QPixmap preferenceImage(const std::string& name, QSize size) {
  return namedPixmap(name, size, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

}  // namespace tilvane
