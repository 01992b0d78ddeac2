#pragma once

#include <xcb/xproto.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/desktop/CGEvent.h"
#include "platform/desktop/x11/KeyTable.h"

namespace tilvane::x11 {

/// Which X modifier bits stand for the program's modifier flags on this server. Shift and Control are fixed by
/// the protocol; Option is the modifier that holds an Alt key (else a Meta key), Command the one that holds a
/// Super key (else a Hyper key). Num Lock and Caps Lock are the lock bits a grab must ignore: a hot key works
/// whether or not they are on. A zero mask means this server has no such modifier.
struct ModifierMasks {
  std::uint16_t shift = XCB_MOD_MASK_SHIFT;
  std::uint16_t control = XCB_MOD_MASK_CONTROL;
  std::uint16_t option = 0;
  std::uint16_t command = 0;
  std::uint16_t numLock = 0;
  std::uint16_t capsLock = XCB_MOD_MASK_LOCK;

  /// The masks of a modifier mapping given as the keysyms of the keys on each of the eight modifiers (Shift,
  /// Lock, Control, Mod1 ... Mod5). A modifier bit serves one role only: when Super shares Alt's modifier,
  /// Command has none (a grab for it could not be told from Option).
  static ModifierMasks fromModifierKeys(const std::array<std::vector<KeySym>, 8>& keysymsPerModifier);

  /// The X modifier mask of `flags` (only Shift, Control, Option and Command count); absent when one of the
  /// flags has no modifier on this server.
  std::optional<std::uint16_t> maskFor(CGEventFlags flags) const;

  /// The lock states a grab must cover, as masks to add to the grab's modifiers: none, Caps Lock, Num Lock and
  /// both (two variants when the server has no Num Lock modifier).
  std::vector<std::uint16_t> lockVariants() const;

  /// The modifiers of an event's state without the lock bits and the mouse buttons, as a grab names them.
  std::uint16_t withoutLocks(std::uint16_t state) const;

  bool operator==(const ModifierMasks&) const = default;
};

}  // namespace tilvane::x11
