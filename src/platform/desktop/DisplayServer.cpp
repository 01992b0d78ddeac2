#include "platform/desktop/DisplayServer.h"

namespace tilvane {

std::optional<std::string> DisplayServer::currentSpaceOfDisplay(
    const std::optional<std::string>& displayIdentifier) const {
  const std::optional<ManagedDisplaySpaces> listing = copyManagedDisplaySpaces();
  if (!listing) return std::nullopt;
  for (const ManagedDisplay& display : *listing) {
    if (!displayIdentifier) return display.currentSpace ? display.currentSpace->uuid : std::nullopt;
    if (display.displayIdentifier != displayIdentifier) continue;
    if (display.currentSpace && display.currentSpace->uuid) return display.currentSpace->uuid;
  }
  return std::nullopt;
}

}  // namespace tilvane
