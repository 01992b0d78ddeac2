#pragma once

#include <optional>
#include <string>

#include "platform/desktop/Geometry.h"

namespace tilvane::sim {

/// How displays share desktops: one set for all displays, or a set per display.
enum class SpacesMode { shared, separate };

/// A display to add to a SimDesktop.
struct SimDisplayConfig {
  /// The whole display, in the display space (bottom-left origin of the primary display, y up).
  CGRect frame;
  /// The usable part; the frame when not given.
  std::optional<CGRect> visibleFrame;
  /// The display's UUID; a new one when empty.
  std::string uuid;
  /// False: the window server names no display for it (it is listed without "Display Identifier" and the
  /// best-display query never answers its UUID). The UUID still names it in the sim's own scripting calls.
  bool named = true;
  /// Separate desktops: how many desktops it brings. Ignored when desktops are shared.
  int spaceCount = 1;
};

}  // namespace tilvane::sim
