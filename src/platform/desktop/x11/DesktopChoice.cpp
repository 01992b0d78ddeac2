#include "platform/desktop/x11/DesktopChoice.h"

#include <cstdlib>

#include "platform/desktop/sim/SimDesktop.h"
#include "platform/desktop/x11/X11Desktop.h"

namespace tilvane::x11 {
namespace {
constexpr int kSimDesktops = 4;

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}
}  // namespace

DesktopChoice chooseDesktop(const std::string& request, const std::string& display) {
  DesktopChoice choice;
  if (request == "sim") {
    // One 1440 x 900 display with a 23-point bar along its top, and four shared desktops.
    auto sim = std::make_unique<sim::SimDesktop>(sim::SpacesMode::shared, kSimDesktops);
    sim->addDisplay(sim::SimDisplayConfig{CGRectMake(0, 0, 1440, 900), CGRectMake(0, 0, 1440, 877)});
    choice.desktop = std::move(sim);
    choice.canMoveWindows = true;
    choice.description = "simulated desktop";
    return choice;
  }
  if (!request.empty() && request != "x11") {
    choice.problem = "unknown desktop \"" + request + "\" in TILVANE_DESKTOP (use \"x11\" or \"sim\")";
    return choice;
  }
  std::string error;
  auto x11 = X11Desktop::connect(display, &error);
  if (!x11) {
    choice.problem = error + "; Tilvane arranges windows on an X11 desktop (start one, or set DISPLAY)";
    return choice;
  }
  const WindowManagerStatus wm = x11->checkWindowManager();
  choice.description = "X11 display \"" + x11->connection().displayName() + "\"";
  if (!wm.name.empty()) choice.description += ", window manager \"" + wm.name + "\"";
  choice.canMoveWindows = wm.usable;
  choice.problem = wm.problem;
  choice.x11 = x11.get();
  choice.desktop = std::move(x11);
  return choice;
}

DesktopChoice chooseDesktopFromEnvironment() { return chooseDesktop(env("TILVANE_DESKTOP"), env("DISPLAY")); }

}  // namespace tilvane::x11
