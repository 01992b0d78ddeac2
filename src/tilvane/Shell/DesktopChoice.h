#pragma once

#include <memory>
#include <string>

#include "platform/desktop/x11/XConnection.h"

namespace tilvane {

/// The desktop the program is to run on, chosen from the environment before Qt starts, so that a missing
/// display is told in the program's own words instead of ending in the toolkit's abort.
struct DesktopChoice {
  /// The simulated desktop was asked for.
  bool simulated = false;
  /// X11: the display's connection, open and checked; null for the simulation and when there is a problem.
  std::unique_ptr<x11::XConnection> connection;
  /// What was chosen, for the log: "X11 display \":0\", window manager \"Openbox\"" or "simulated desktop".
  std::string description;
  /// Why the program cannot run here, in a sentence a user can act on; empty when it can.
  std::string problem;
};

/// `request` "sim" chooses the simulated desktop; "x11" or empty chooses X11 on `display` (empty: $DISPLAY),
/// which needs an X server answering there. No X server is a problem, never a silent fallback to the
/// simulation; any other request is refused. An X server without an EWMH window manager is chosen: the program
/// is then not allowed to move windows and shows its landing window until one runs.
DesktopChoice chooseDesktop(const std::string& request, const std::string& display);

/// chooseDesktop with TILVANE_DESKTOP as the request and DISPLAY as the display.
DesktopChoice chooseDesktopFromEnvironment();

/// The desktop that one instance of the program serves, known before anything is opened: "sim" for the
/// simulation, else the X display's identity ("host:number"), so starts on one display share an instance and
/// starts on two displays have one each.
std::string servedDesktop(const std::string& request, const std::string& display);
std::string servedDesktopFromEnvironment();

}  // namespace tilvane
