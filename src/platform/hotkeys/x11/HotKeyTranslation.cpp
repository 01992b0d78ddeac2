#include "platform/hotkeys/x11/HotKeyTranslation.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

namespace tilvane::x11 {

bool GrabCombination::matches(xcb_keycode_t keycode, std::uint16_t mods) const {
  return mods == modifiers && std::find(keycodes.begin(), keycodes.end(), keycode) != keycodes.end();
}

bool GrabCombination::overlaps(const GrabCombination& other) const {
  if (modifiers != other.modifiers) return false;
  return std::any_of(keycodes.begin(), keycodes.end(),
                     [&](xcb_keycode_t k) { return other.matches(k, other.modifiers); });
}

HotKeyTranslation translateShortcut(const MASShortcut& shortcut, const KeyboardMap& keyboard,
                                    const ModifierMasks& modifiers) {
  HotKeyTranslation out;
  std::optional<KeySym> keysym;
  if (shortcut.keyCode() <= std::numeric_limits<CGKeyCode>::max())
    keysym = keysymForVirtualKey(static_cast<CGKeyCode>(shortcut.keyCode()));
  if (!keysym) {
    out.problem = fmt::format("no key has the key code {}", shortcut.keyCode());
    return out;
  }
  const auto mask = modifiers.maskFor(shortcut.modifierFlags());
  if (!mask) {
    out.problem = "this keyboard has no modifier key for one of its modifiers";
    return out;
  }
  auto keycodes = keyboard.keycodesFor(*keysym);
  if (keycodes.empty()) {
    out.problem = fmt::format("no key of this keyboard types keysym 0x{:x}", *keysym);
    return out;
  }
  out.combination = GrabCombination{std::move(keycodes), *mask};
  return out;
}

}  // namespace tilvane::x11
