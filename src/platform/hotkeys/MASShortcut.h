#pragma once

#include <compare>
#include <cstdint>
#include <ostream>
#include <string>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

/// A global hot key: a virtual key code and modifier flags in the program's stored form (ANSI virtual key
/// codes; Shift 0x20000, Control 0x40000, Option 0x80000, Command 0x100000). Only those four modifier bits
/// count: other bits of the given flags (Caps Lock, device bits) are dropped, so two shortcuts that a user
/// cannot tell apart compare equal. The key code is kept whole: a stored value that names no key stays that
/// value (a backend then cannot take it) instead of wrapping onto a real key.
class MASShortcut {
 public:
  /// The shortcut for `keyCode` with `modifierFlags` (initWithKeyCode:modifierFlags:).
  MASShortcut(std::uint64_t keyCode, std::uint64_t modifierFlags)
      : keyCode_(keyCode), modifierFlags_(modifierFlags & kCGEventModifierMask) {}

  /// The virtual key code.
  std::uint64_t keyCode() const { return keyCode_; }
  /// The modifier flags, limited to Shift, Control, Option and Command.
  CGEventFlags modifierFlags() const { return modifierFlags_; }

  /// The shortcut as a user reads it in a log line, modifiers first: "Control+Option+key 18".
  std::string description() const;

  /// The text a menu entry takes as key equivalent for the key alone: a letter in lower case ("a"), a digit or
  /// sign as typed ("1", ","), a named key by its name ("F5", "Left"). Empty when no key has the code.
  std::string keyCodeStringForKeyEquivalent() const;
  /// The whole chord as a Linux user reads it: "Ctrl+Alt+1", "Shift+Super+F5". Empty when no key has the code.
  std::string readableString() const;

  auto operator<=>(const MASShortcut&) const = default;

 private:
  std::uint64_t keyCode_;
  CGEventFlags modifierFlags_;
};

/// Writes description(), for logs and test failures.
inline std::ostream& operator<<(std::ostream& out, const MASShortcut& shortcut) {
  return out << shortcut.description();
}

}  // namespace tilvane
