#pragma once

#include <memory>
#include <string>

#include "platform/desktop/Desktop.h"

namespace tilvane::x11 {

class X11Desktop;

/// The desktop backend the program runs on, as the composition root picks it.
struct DesktopChoice {
  /// The backend; null when none could be made (see problem).
  std::unique_ptr<Desktop> desktop;
  /// The same object when it is the X11 backend (for its connection-lost signal), else null.
  X11Desktop* x11 = nullptr;
  /// Whether windows can be read and moved (the X11 meaning of Accessibility trust; always true for the sim).
  bool canMoveWindows = false;
  /// What was chosen, for the log: "X11 display \":0\", window manager \"Openbox\"" or "simulated desktop".
  std::string description;
  /// When there is no desktop or windows cannot be moved: why, in a sentence a user can act on.
  std::string problem;
};

/// Picks the backend: `request` "sim" gives the simulated desktop (one 1440x900 display less a 23-point bar at
/// its top, 4 shared desktops);
/// "x11" or empty gives the X11 backend on `display` (empty: $DISPLAY). No X server is no desktop, never a
/// silent fallback to the simulation. Any other request is refused. The X11 backend needs an installed main
/// loop.
DesktopChoice chooseDesktop(const std::string& request, const std::string& display);

/// chooseDesktop with TILVANE_DESKTOP as the request and DISPLAY as the display.
DesktopChoice chooseDesktopFromEnvironment();

}  // namespace tilvane::x11
