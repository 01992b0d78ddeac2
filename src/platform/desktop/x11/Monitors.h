#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/x11/PixelRect.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// What RandR says of one output of a monitor.
struct OutputFacts {
  std::string name;
  /// The output's EDID block (empty when it has none, as on virtual outputs).
  std::string edid;
};

/// One monitor of the X screen, as RandR lists it (or the whole screen when RandR has no monitors).
struct Monitor {
  /// RandR's monitor name ("DP-1", or a user-defined name from xrandr --setmonitor).
  std::string name;
  /// Its area in root pixels.
  PixelRect rect;
  bool primary = false;
  /// Made by the server from its outputs (true) or defined by the user (false).
  bool automatic = true;
  std::vector<OutputFacts> outputs;
  /// What names this monitor across runs and reconnects, from which its display UUID is made: the EDID's
  /// maker, product and serial where the monitor has one, else its output's name, else the monitor's name.
  std::string identityKey;
};

/// "edid:<hex of maker, product, serial and date>" for a valid EDID block (at least 128 bytes, right header);
/// absent otherwise.
std::optional<std::string> edidKey(const std::string& edid);

/// Gives every monitor its identityKey: user-defined monitors by name; automatic ones by EDID, else by the
/// name of their first output, else by their own name. Keys that would repeat (two identical monitors) get
/// the output's name (else the position in the list) appended, so each monitor has its own.
void assignIdentityKeys(std::vector<Monitor>& monitors);

/// The size of the X screen in root pixels.
struct ScreenSize {
  std::int64_t width = 0;
  std::int64_t height = 0;
};

/// The root window's size now. The connection's setup data keeps the size the screen had at connect time,
/// which a resolution change makes stale; it is the answer only when the server gives none.
ScreenSize queryScreenSize(const XConnection& x);

/// The monitors of the screen in RandR's order, with identity keys. Without RandR monitors: the whole screen
/// (of size `screen`), named "screen".
std::vector<Monitor> queryMonitors(const XConnection& x, ScreenSize screen);

}  // namespace tilvane::x11
