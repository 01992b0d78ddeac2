#pragma once

#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// Schedules a move of `window` to the desktop left of the one its display shows, 0.1 s from now on the main
/// queue (moveWindow), and answers true; answers false and schedules nothing when there is no such desktop.
/// With separate desktops only the desktops of the window's own display count. Main thread.
bool moveWindowToLeftDesktop(const SIWindow& window);

/// moveWindowToLeftDesktop towards the desktop on the right.
bool moveWindowToRightDesktop(const SIWindow& window);

}  // namespace tilvane
