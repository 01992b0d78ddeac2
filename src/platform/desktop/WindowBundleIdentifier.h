#pragma once

#include <optional>
#include <string>

#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// The bundle identifier of a window's application, found afresh: the window's application object, its process
/// identifier, the running application with that identifier, its bundle identifier. Absent when any link is
/// missing. Main thread only.
std::optional<std::string> bundleIdentifierOfWindow(const SIWindow& window);

}  // namespace tilvane
