#pragma once

#include "platform/desktop/x11/XConnection.h"
#include "platform/hotkeys/x11/KeyboardMap.h"
#include "platform/hotkeys/x11/ModifierMasks.h"

namespace tilvane::x11 {

/// The server's keyboard mapping now; empty when the request fails.
KeyboardMap queryKeyboardMap(const XConnection& x);

/// The server's modifier mapping now, read through `keyboard` (the keysyms of the keys on each modifier);
/// Shift, Control and Caps Lock only when the request fails.
ModifierMasks queryModifierMasks(const XConnection& x, const KeyboardMap& keyboard);

}  // namespace tilvane::x11
