#pragma once

#include <string>

#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// Whether the backend can read and move windows on this display: the Linux meaning of "Accessibility trust".
/// That takes an EWMH window manager (a live _NET_SUPPORTING_WM_CHECK window) that publishes the client list,
/// the active window, the desktops and frame extents.
struct WindowManagerStatus {
  bool usable = false;
  /// The window manager's _NET_WM_NAME (empty when unknown).
  std::string name;
  /// When not usable: why, in a sentence a user can act on.
  std::string problem;
};

/// Checks the display's window manager.
WindowManagerStatus checkWindowManager(const XConnection& x);

}  // namespace tilvane::x11
