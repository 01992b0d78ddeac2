#pragma once

#include <optional>

#include "platform/desktop/NSScreen.h"

namespace tilvane {

/// Display services of the program on top of NSScreen.
struct NSScreenExtension {
  /// The primary display, pivot of every flip between the display space (bottom-left origin) and the window
  /// space (top-left origin): the first display whose frame origin is exactly (0, 0), else the first display;
  /// absent when no display is attached. Read afresh at each call.
  static std::optional<NSScreen> primary();

  /// Moves the pointer to the centre of `screen`'s frame: one mouse-moved event (left button, flags 0) posted
  /// to the HID tap, its location converted to the window space the event expects. Nothing happens when no
  /// display is attached or the event cannot be made.
  static void moveMouseToCenter(const NSScreen& screen);
};

}  // namespace tilvane
