#pragma once

#include <cstdint>

#include "platform/desktop/CGWindowLevel.h"

namespace tilvane {

/// This program's application object as the desktop sees it. Each call goes to the installed desktop's
/// ProgramServer (Desktop::current()); without a desktop it does nothing. Main thread only.
struct NSApplication {
  /// Makes the program the active application (activateIgnoringOtherApps:); with `flag` true even while
  /// another application is active.
  static void activateIgnoringOtherApps(bool flag);
  /// Brings the program's own window `windowNumber` (shown by the toolkit already) to the user and makes it the
  /// key window (makeKeyAndOrderFront:). Every road that shows one of the program's windows ends here.
  static void makeKeyAndOrderFront(std::uint64_t windowNumber);
  /// Keeps the program's own window `windowNumber` (its native window number) at `level` (a window's
  /// setLevel:).
  static void setWindowLevel(std::uint64_t windowNumber, CGWindowLevel level);
};

}  // namespace tilvane
