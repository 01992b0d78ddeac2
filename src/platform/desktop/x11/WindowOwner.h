#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// The name of this machine as X clients write it into WM_CLIENT_MACHINE.
std::string localHostName();

/// The process that owns a client window on this machine: its _NET_WM_PID when the window says it runs here
/// (WM_CLIENT_MACHINE absent or this machine), else what the X-Resource extension knows of the connection that
/// made the window (local clients only). Absent when neither tells, e.g. for a client on another machine.
std::optional<pid_t> queryWindowPid(const XConnection& x, xcb_window_t window, const std::string& hostName);

}  // namespace tilvane::x11
