#include "Shell/DesktopChoice.h"

#include <cstdlib>

#include "platform/desktop/x11/DisplayIdentity.h"
#include "platform/desktop/x11/WindowManagerCheck.h"

namespace tilvane {
namespace {
std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}
}  // namespace

DesktopChoice chooseDesktop(const std::string& request, const std::string& display) {
  DesktopChoice choice;
  if (request == "sim") {
    choice.simulated = true;
    choice.description = "simulated desktop";
    return choice;
  }
  if (!request.empty() && request != "x11") {
    choice.problem = "unknown desktop \"" + request + "\" in TILVANE_DESKTOP (use \"x11\" or \"sim\")";
    return choice;
  }
  std::string error;
  auto connection = x11::XConnection::open(display, &error);
  if (!connection) {
    choice.problem = error +
                     ". Tilvane arranges windows on an X11 desktop: run it inside an X11 session, start a test "
                     "desktop with scripts/test-desktop.sh, or use TILVANE_DESKTOP=sim for the simulated desktop.";
    return choice;
  }
  const x11::WindowManagerStatus wm = x11::checkWindowManager(*connection);
  choice.description = "X11 display \"" + connection->displayName() + "\"";
  if (!wm.name.empty()) choice.description += ", window manager \"" + wm.name + "\"";
  // Without a usable window manager the program still starts: its landing window says what is missing and
  // waits for one.
  if (!wm.usable) choice.description += ", no usable window manager";
  choice.connection = std::move(connection);
  return choice;
}

DesktopChoice chooseDesktopFromEnvironment() { return chooseDesktop(env("TILVANE_DESKTOP"), env("DISPLAY")); }

std::string servedDesktop(const std::string& request, const std::string& display) {
  return request == "sim" ? "sim" : x11::displayIdentity(display);
}

std::string servedDesktopFromEnvironment() { return servedDesktop(env("TILVANE_DESKTOP"), env("DISPLAY")); }

}  // namespace tilvane
