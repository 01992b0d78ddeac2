#pragma once

#include <cstdint>
#include <optional>

#include "platform/desktop/CGEvent.h"

namespace tilvane::x11 {

/// An X keysym (keysymdef.h values).
using KeySym = std::uint32_t;

/// The X keysym of a virtual key code of the program's stored form (ANSI layout: letters, digits, punctuation,
/// Return, Tab, Space, Delete, Escape, F1-F15, the navigation keys, arrows and keypad); absent for codes
/// without one.
std::optional<KeySym> keysymForVirtualKey(CGKeyCode key);

/// The virtual key code of an X keysym (letters in either case); absent for keysyms without one.
std::optional<CGKeyCode> virtualKeyForKeysym(KeySym keysym);

/// The keysyms of the modifier keys pressed for the flag masks (left-hand keys).
inline constexpr KeySym kKeysymShiftL = 0xffe1;
inline constexpr KeySym kKeysymControlL = 0xffe3;
inline constexpr KeySym kKeysymAltL = 0xffe9;
inline constexpr KeySym kKeysymSuperL = 0xffeb;

}  // namespace tilvane::x11
