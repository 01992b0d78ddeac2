#pragma once

#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// Sends `window` to desktop number `desktop` (0-based). When the desktop is on the window's display, or
/// desktops are shared, only the desktop changes and the move is recorded as a user move would be. When it is
/// on another display, the window is first put on that display at its remembered placement (gap rule
/// included), then moved, its placement saved and kept on the display; a window with no remembered placement
/// cannot be carried there and stays where it is. A negative desktop does nothing. Main thread.
void moveWindow(int desktop, SIWindow window);

}  // namespace tilvane
