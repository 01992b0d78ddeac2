#pragma once

#include <optional>
#include <string>

#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// The one test of whether a window may be managed and laid out. It keeps out the Finder's information
/// windows, a few dialogs of system applications, the system preferences, the program's own windows, windows
/// that cannot move or lie on no display, windows whose application has no bundle identifier, and every
/// window that does not report itself as a standard window. Main thread; no side effects.
bool isLayoutableWindow(const SIWindow& window);
/// The same test for a caller that has asked for the window's bundle identifier and title already.
bool isLayoutableWindow(const SIWindow& window, const std::optional<std::string>& bundle,
                        const std::optional<std::string>& title);

}  // namespace tilvane
