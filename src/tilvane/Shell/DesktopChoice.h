#pragma once

#include <memory>
#include <string>

#include "platform/desktop/Desktop.h"

namespace tilvane {

/// The desktop backend the program runs on, chosen by the composition root.
struct DesktopChoice {
  std::unique_ptr<Desktop> desktop;
  /// What was chosen, for the log ("sim" ...).
  std::string name;
};

/// Picks the backend: the simulated desktop when TILVANE_DESKTOP=sim. (The X11 backend joins here.)
DesktopChoice chooseDesktop();

}  // namespace tilvane
