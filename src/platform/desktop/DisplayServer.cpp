#include "platform/desktop/DisplayServer.h"

namespace tilvane {

void DisplayServer::visitScreens(const std::function<void(const NSScreen&)>& visit) const {
  for (const NSScreen& screen : screens()) visit(screen);
}

std::size_t DisplayServer::screenCount() const {
  std::size_t count = 0;
  visitScreens([&count](const NSScreen&) { ++count; });
  return count;
}

std::optional<NSScreen> DisplayServer::primaryScreen() const {
  const std::vector<NSScreen> listed = screens();
  const NSScreen* primary = primaryOf(listed, [](const NSScreen& s) { return s.frame; });
  return primary ? std::optional(*primary) : std::nullopt;
}

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
