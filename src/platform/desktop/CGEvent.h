#pragma once

#include <cstdint>

#include "platform/desktop/Geometry.h"

namespace tilvane {

// Synthetic input events, as posted to the system's event tap. Key codes and modifier flags keep the stored
// form the program uses everywhere (ANSI virtual key codes, the flag masks below); a backend translates them.

/// A virtual key code (the digit row 1..9 is 18, 19, 20, 21, 23, 22, 26, 28, 25; 0 is 29).
using CGKeyCode = std::uint16_t;
/// Modifier flag bits of an event.
using CGEventFlags = std::uint64_t;

inline constexpr CGEventFlags kCGEventFlagMaskShift = 0x20000;
inline constexpr CGEventFlags kCGEventFlagMaskControl = 0x40000;
inline constexpr CGEventFlags kCGEventFlagMaskAlternate = 0x80000;
inline constexpr CGEventFlags kCGEventFlagMaskCommand = 0x100000;
/// The four modifier bits above together.
inline constexpr CGEventFlags kCGEventModifierMask =
    kCGEventFlagMaskShift | kCGEventFlagMaskControl | kCGEventFlagMaskAlternate | kCGEventFlagMaskCommand;

/// The kinds of event the program posts.
enum class CGEventType { keyDown, keyUp, mouseMoved };

/// The mouse button of a mouse event.
enum class CGMouseButton { left = 0, right = 1, center = 2 };

/// Where an event enters the system: the HID tap is where hardware events enter.
enum class CGEventTapLocation { hid, session, annotatedSession };

/// One event, a value: releasing it is dropping it.
struct CGEvent {
  CGEventType type = CGEventType::keyDown;
  /// Keyboard events: the virtual key.
  CGKeyCode keyCode = 0;
  CGEventFlags flags = 0;
  /// Mouse events: the pointer position in the window space (top-left origin of the primary display, y down).
  CGPoint location;
  /// Mouse events: the button.
  CGMouseButton button = CGMouseButton::left;
  bool operator==(const CGEvent&) const = default;
};

}  // namespace tilvane
