#pragma once

#include <cstdint>

#include "platform/desktop/CGWindowLevel.h"

namespace tilvane {

/// What the desktop does for this program itself rather than for other applications: making it the active
/// application, and stacking its own windows (named by their native window numbers) at a level.
///
/// A backend whose window toolkit does both already (on X11, Qt activates its windows and keeps stays-on-top
/// windows above the others) keeps the default, Desktop::programServer(), which leaves them to the toolkit.
/// Main thread only.
class ProgramServer {
 public:
  virtual ~ProgramServer() = default;

  /// Makes this program the active application; with `flag` true even while another application is active,
  /// so that the program's key window receives the keyboard.
  virtual void activateIgnoringOtherApps(bool flag) = 0;
  /// Keeps the program's own window `windowNumber` at `level` (see CGWindowLevelForKey).
  virtual void setWindowLevel(std::uint64_t windowNumber, CGWindowLevel level) = 0;
};

}  // namespace tilvane
