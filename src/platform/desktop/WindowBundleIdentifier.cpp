#include "platform/desktop/WindowBundleIdentifier.h"

namespace tilvane {

std::optional<std::string> bundleIdentifierOfWindow(const SIWindow& window) {
  const auto app = window.app();
  if (!app) return std::nullopt;
  const auto running = NSRunningApplication::runningApplicationWithProcessIdentifier(app->processIdentifier());
  if (!running) return std::nullopt;
  return running->bundleIdentifier;
}

}  // namespace tilvane
