#pragma once

#include <cstdint>

#include "platform/desktop/CGWindowLevel.h"

namespace tilvane {

/// What the desktop does for this program itself rather than for other applications: making it the active
/// application, bringing its own windows to the user, and stacking them at a level (windows named by their
/// native window numbers).
///
/// A backend whose window toolkit does all of it keeps the default, Desktop::programServer(), which leaves them
/// to the toolkit. The X11 backend has its own: the toolkit cannot bring back a window that is minimised or on
/// another desktop.
/// Main thread only.
class ProgramServer {
 public:
  virtual ~ProgramServer() = default;

  /// Makes this program the active application; with `flag` true even while another application is active,
  /// so that the program's key window receives the keyboard.
  virtual void activateIgnoringOtherApps(bool flag) = 0;
  /// Brings the program's window `windowNumber`, which the toolkit has just shown, to the user: on the desktop
  /// shown, not minimised, raised and focused. It becomes the key window, the one activation brings back.
  virtual void orderFront(std::uint64_t windowNumber) = 0;
  /// Keeps the program's own window `windowNumber` at `level` (see CGWindowLevelForKey).
  virtual void setWindowLevel(std::uint64_t windowNumber, CGWindowLevel level) = 0;
  /// Whether a compositing manager draws the screen: only then does the translucency of the program's windows
  /// (their alpha channel, their opacity) show what lies beneath them. The desktop's notification centre tells
  /// when that changes (compositingDidChange).
  virtual bool isCompositing() const { return true; }
};

}  // namespace tilvane
