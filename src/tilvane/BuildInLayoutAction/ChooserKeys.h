#pragma once

#include <optional>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

/// A key-down event as the layout chooser reads it: the key's virtual key code and the modifier flags held
/// (Shift 0x20000, Control 0x40000, Option 0x80000, Command 0x100000).
struct ChooserKeyEvent {
  CGKeyCode keyCode = 0;
  CGEventFlags modifierFlags = 0;
  bool operator==(const ChooserKeyEvent&) const = default;
};

/// The desktop number a key of the digit row sends the chooser's window to: 1 gives desktop 0, ... 9 gives
/// desktop 8. Absent for every other key; 0, minus and equals are not desktop keys.
std::optional<int> desktopForDigitKey(CGKeyCode key);

}  // namespace tilvane
