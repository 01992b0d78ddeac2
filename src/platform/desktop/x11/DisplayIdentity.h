#pragma once

#include <string>

namespace tilvane::x11 {

/// The X display a display name reaches, as "host:number": the screen number is dropped (one display, however
/// many screens) and the local host is "" whichever way it is written (":1", ":1.0", "unix:1"). A name xcb
/// cannot read stands for itself. An empty name means $DISPLAY.
std::string displayIdentity(const std::string& displayName);

}  // namespace tilvane::x11
