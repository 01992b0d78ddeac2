#include "platform/hotkeys/x11/ModifierMasks.h"

#include <algorithm>
#include <initializer_list>

namespace tilvane::x11 {
namespace {
constexpr KeySym kAltL = 0xffe9, kAltR = 0xffea, kMetaL = 0xffe7, kMetaR = 0xffe8;
constexpr KeySym kSuperL = 0xffeb, kSuperR = 0xffec, kHyperL = 0xffed, kHyperR = 0xffee;
constexpr KeySym kNumLock = 0xff7f;
// Shift, Lock, Control and Mod1-Mod5 are the low eight bits of a state.
constexpr std::uint16_t kModifierBits = 0xff;
constexpr int kFirstFreeModifier = 3;  // Mod1

// The Mod1-Mod5 bit of the first modifier holding one of `keysyms`, skipping bits taken already; 0 when none.
std::uint16_t findModifier(const std::array<std::vector<KeySym>, 8>& modifiers, std::initializer_list<KeySym> keysyms,
                           std::uint16_t taken) {
  for (int i = kFirstFreeModifier; i < 8; ++i) {
    const auto bit = static_cast<std::uint16_t>(1u << i);
    if (taken & bit) continue;
    const auto& keys = modifiers[static_cast<std::size_t>(i)];
    const bool holds = std::any_of(keys.begin(), keys.end(), [&](KeySym k) {
      return std::find(keysyms.begin(), keysyms.end(), k) != keysyms.end();
    });
    if (holds) return bit;
  }
  return 0;
}
}  // namespace

ModifierMasks ModifierMasks::fromModifierKeys(const std::array<std::vector<KeySym>, 8>& keysymsPerModifier) {
  ModifierMasks masks;
  masks.option = findModifier(keysymsPerModifier, {kAltL, kAltR}, 0);
  if (masks.option == 0) masks.option = findModifier(keysymsPerModifier, {kMetaL, kMetaR}, 0);
  masks.command = findModifier(keysymsPerModifier, {kSuperL, kSuperR}, masks.option);
  if (masks.command == 0) masks.command = findModifier(keysymsPerModifier, {kHyperL, kHyperR}, masks.option);
  // A Num Lock that shares a modifier with Option or Command would make every grab ignore that modifier.
  masks.numLock = findModifier(keysymsPerModifier, {kNumLock}, masks.option | masks.command);
  return masks;
}

std::optional<std::uint16_t> ModifierMasks::maskFor(CGEventFlags flags) const {
  const std::pair<CGEventFlags, std::uint16_t> roles[] = {
      {kCGEventFlagMaskShift, shift},
      {kCGEventFlagMaskControl, control},
      {kCGEventFlagMaskAlternate, option},
      {kCGEventFlagMaskCommand, command},
  };
  std::uint16_t mask = 0;
  for (const auto& [flag, bit] : roles) {
    if ((flags & flag) == 0) continue;
    if (bit == 0) return std::nullopt;
    mask |= bit;
  }
  return mask;
}

std::vector<std::uint16_t> ModifierMasks::lockVariants() const {
  std::vector<std::uint16_t> variants{0, capsLock};
  if (numLock != 0) {
    variants.push_back(numLock);
    variants.push_back(static_cast<std::uint16_t>(numLock | capsLock));
  }
  return variants;
}

std::uint16_t ModifierMasks::withoutLocks(std::uint16_t state) const {
  return static_cast<std::uint16_t>(state & kModifierBits & ~(capsLock | numLock));
}

}  // namespace tilvane::x11
