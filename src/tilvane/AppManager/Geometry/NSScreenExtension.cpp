#include "AppManager/Geometry/NSScreenExtension.h"

namespace tilvane {

std::optional<NSScreen> NSScreenExtension::primary() {
  const std::vector<NSScreen> screens = NSScreen::screens();
  for (const NSScreen& screen : screens)
    if (screen.frame.origin.x == 0.0 && screen.frame.origin.y == 0.0) return screen;
  if (screens.empty()) return std::nullopt;
  return screens.front();
}

}  // namespace tilvane
