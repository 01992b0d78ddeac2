#pragma once

#include <optional>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

/// The digit key of the desktop shortcut for `position` (desktop number + 1): positions 1 to 9 are the digit
/// keys 1 to 9, positions 0 and 10 the digit 0; absent outside 0 to 10.
std::optional<CGKeyCode> desktopKeyCode(int position);

/// Switches to the desktop at `position` (desktop number + 1) the way the user does: posts Control + its digit
/// to the HID tap, the key-down with the Control flag, then the key-up without flags. An event that cannot be
/// made is skipped and the other still posted; a position outside 0 to 10 posts nothing. Returns at once,
/// before the desktop changes.
void switchToDesktop(int position);

}  // namespace tilvane
