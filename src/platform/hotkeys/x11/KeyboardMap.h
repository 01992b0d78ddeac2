#pragma once

#include <xcb/xproto.h>

#include <cstdint>
#include <span>
#include <vector>

#include "platform/desktop/x11/KeyTable.h"

namespace tilvane::x11 {

/// The X server's keyboard mapping: the keysyms each key code types, by column (0 plain, 1 with Shift, then
/// the second group). A value: read it once from the server (queryKeyboardMap) and read it again after a
/// MappingNotify.
class KeyboardMap {
 public:
  /// An empty map: no key types anything.
  KeyboardMap() = default;
  /// The map of `keysyms`, `keysymsPerKeycode` columns per key code from `minKeycode` on, as the server's
  /// GetKeyboardMapping reply lists them. A trailing partial row is dropped.
  KeyboardMap(xcb_keycode_t minKeycode, std::uint8_t keysymsPerKeycode, std::vector<KeySym> keysyms);

  /// The keysyms of `keycode`, column by column; empty for a key code outside the map.
  std::span<const KeySym> keysymsOf(xcb_keycode_t keycode) const;

  /// The keys that type `keysym` unshifted (column 0). Where no key does, the keys that type it in column 1
  /// (keypad digits sit there behind the navigation keysyms). Empty when no key types it.
  std::vector<xcb_keycode_t> keycodesFor(KeySym keysym) const;

 private:
  xcb_keycode_t minKeycode_ = 0;
  std::uint8_t perKeycode_ = 0;
  std::vector<KeySym> keysyms_;
};

}  // namespace tilvane::x11
