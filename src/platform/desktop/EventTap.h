#pragma once

#include <optional>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

/// The backend's input-event machinery: makes synthetic events and posts them. An X11 backend translates the
/// virtual key codes and flags to X key codes and modifiers and sends them with XTEST; it carries out the
/// desktop shortcuts (Control + digit) itself where the window manager does not bind them.
/// Called on the main thread only.
class EventTap {
 public:
  virtual ~EventTap() = default;

  /// Makes the event described by `proposed`, or refuses (absent) when it cannot be made.
  virtual std::optional<CGEvent> createEvent(const CGEvent& proposed) = 0;
  /// Posts an event made by createEvent.
  virtual void post(CGEventTapLocation tap, const CGEvent& event) = 0;
};

}  // namespace tilvane
