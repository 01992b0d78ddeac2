#include "platform/desktop/NSRunningApplication.h"

#include "platform/desktop/Desktop.h"

namespace tilvane {

std::optional<NSRunningApplication> NSRunningApplication::runningApplicationWithProcessIdentifier(pid_t pid) {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->applicationServer().runningApplication(pid) : std::nullopt;
}

std::vector<NSRunningApplication> NSWorkspace::runningApplications() {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->applicationServer().runningApplications() : std::vector<NSRunningApplication>{};
}

}  // namespace tilvane
