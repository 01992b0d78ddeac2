#include "platform/desktop/WindowServer.h"

#include "platform/desktop/Desktop.h"

namespace tilvane {

std::optional<ManagedDisplaySpaces> CGSCopyManagedDisplaySpaces() {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->displayServer().copyManagedDisplaySpaces() : std::nullopt;
}

std::optional<std::string> CGSCopyBestManagedDisplayForRect(const CGRect& rect) {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->displayServer().bestManagedDisplayForRect(rect) : std::nullopt;
}

std::optional<std::string> CGSManagedDisplayGetCurrentSpace(const std::optional<std::string>& displayIdentifier) {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->displayServer().currentSpaceOfDisplay(displayIdentifier) : std::nullopt;
}

}  // namespace tilvane
