#include "AppManager/Screens/DisplayUuid.h"

#include "platform/desktop/WindowServer.h"

namespace tilvane {

std::optional<std::string> screenDisplayUuid(const std::optional<NSScreen>& screen) {
  if (!screen) return std::nullopt;
  std::optional<std::string> uuid = CGSCopyBestManagedDisplayForRect(screen->frameIncludingDockAndMenu());
  if (uuid && uuid->empty()) return std::nullopt;
  return uuid;
}

}  // namespace tilvane
