#include "platform/hotkeys/x11/KeyboardQuery.h"

#include <algorithm>

namespace tilvane::x11 {

KeyboardMap queryKeyboardMap(const XConnection& x) {
  const xcb_setup_t* setup = xcb_get_setup(x.get());
  const xcb_keycode_t first = setup->min_keycode;
  const xcb_keycode_t last = setup->max_keycode;
  if (last < first) return {};
  const auto count = static_cast<std::uint8_t>(last - first + 1);
  auto reply = x.reply(xcb_get_keyboard_mapping_reply, xcb_get_keyboard_mapping(x.get(), first, count));
  if (!reply) return {};
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
  const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
  if (!keysyms || length <= 0) return {};
  return KeyboardMap(first, reply->keysyms_per_keycode, std::vector<KeySym>(keysyms, keysyms + length));
}

ModifierMasks queryModifierMasks(const XConnection& x, const KeyboardMap& keyboard) {
  auto reply = x.reply(xcb_get_modifier_mapping_reply, xcb_get_modifier_mapping(x.get()));
  if (!reply) return {};
  const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
  const int length = xcb_get_modifier_mapping_keycodes_length(reply.get());
  const int perModifier = reply->keycodes_per_modifier;
  std::array<std::vector<KeySym>, 8> keysyms;
  if (!keycodes || perModifier <= 0) return ModifierMasks::fromModifierKeys(keysyms);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < perModifier; ++j) {
      const int index = i * perModifier + j;
      if (index >= length) break;
      if (keycodes[index] == 0) continue;
      for (const KeySym sym : keyboard.keysymsOf(keycodes[index]))
        if (sym != XCB_NO_SYMBOL) keysyms[static_cast<std::size_t>(i)].push_back(sym);
    }
  }
  return ModifierMasks::fromModifierKeys(keysyms);
}

}  // namespace tilvane::x11
