#pragma once

#include <QKeyEvent>
#include <cstdint>
#include <optional>

#include "BuildInLayoutAction/ChooserKeys.h"

namespace tilvane {

/// What a key event's native scan code means.
enum class NativeScanCodes {
  /// Nothing the chooser relies on (offscreen and other platforms).
  unknown,
  /// X11 key codes of the evdev keyboard model (the xcb platform): the digit row is 10 (1) to 19 (0).
  x11Evdev,
};

/// The chooser's reading of a Qt key press: the virtual key code of the stored form (ANSI layout) and the
/// modifier flags (Shift, Control, Option for Alt, Command for Meta). Keys of the digit row are read by their
/// place where the scan codes tell it, so Shift+2 and the digit row of other layouts still name desktops.
/// Absent for a press of a modifier key alone and for keys without a virtual key code.
std::optional<ChooserKeyEvent> chooserKeyEvent(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t scanCode,
                                               NativeScanCodes scanCodes);

/// chooserKeyEvent for a key event of the running application's platform.
std::optional<ChooserKeyEvent> chooserKeyEvent(const QKeyEvent& event);

}  // namespace tilvane
