#pragma once

#include <xcb/xproto.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/hotkeys/MASShortcut.h"
#include "platform/hotkeys/x11/KeyboardMap.h"
#include "platform/hotkeys/x11/ModifierMasks.h"

namespace tilvane::x11 {

/// What an X server must be asked to grab for one hot key: the keys that type its keysym and the modifier
/// mask of its flags (lock variants not included).
struct GrabCombination {
  std::vector<xcb_keycode_t> keycodes;
  std::uint16_t modifiers = 0;

  /// Whether a key event of `keycode` with `modifiers` (locks removed) is this combination.
  bool matches(xcb_keycode_t keycode, std::uint16_t modifiers) const;
  /// Whether the two would take at least one same key with the same modifiers.
  bool overlaps(const GrabCombination& other) const;
  bool operator==(const GrabCombination&) const = default;
};

/// A shortcut translated for this keyboard: the combination, or why there is none.
struct HotKeyTranslation {
  std::optional<GrabCombination> combination;
  /// Why the shortcut cannot be grabbed here ("no key of this keyboard types ..."); empty when it can.
  std::string problem;
};

/// Translates a shortcut of the stored form (virtual key code, flag masks) into what to grab on this keyboard:
/// the virtual key's keysym (the ANSI table of KeyTable.h), the keys that type it, and the modifier mask of the
/// flags. A key code beyond the virtual key range never wraps onto a real key.
HotKeyTranslation translateShortcut(const MASShortcut& shortcut, const KeyboardMap& keyboard,
                                    const ModifierMasks& modifiers);

}  // namespace tilvane::x11
