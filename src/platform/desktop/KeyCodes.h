#pragma once

#include "platform/desktop/CGEvent.h"

namespace tilvane {

// Virtual key codes of the digit row of the ANSI keyboard layout. The row is not in numeric order: 5 and 6
// are swapped, and 7, 8, 9, 0 follow their own order.
inline constexpr CGKeyCode kVK_ANSI_1 = 18;
inline constexpr CGKeyCode kVK_ANSI_2 = 19;
inline constexpr CGKeyCode kVK_ANSI_3 = 20;
inline constexpr CGKeyCode kVK_ANSI_4 = 21;
inline constexpr CGKeyCode kVK_ANSI_5 = 23;
inline constexpr CGKeyCode kVK_ANSI_6 = 22;
inline constexpr CGKeyCode kVK_ANSI_7 = 26;
inline constexpr CGKeyCode kVK_ANSI_8 = 28;
inline constexpr CGKeyCode kVK_ANSI_9 = 25;
inline constexpr CGKeyCode kVK_ANSI_0 = 29;

// Virtual key codes of keys that do not depend on the keyboard layout.
inline constexpr CGKeyCode kVK_Return = 36;
inline constexpr CGKeyCode kVK_Tab = 48;
inline constexpr CGKeyCode kVK_Escape = 53;
inline constexpr CGKeyCode kVK_LeftArrow = 123;
inline constexpr CGKeyCode kVK_RightArrow = 124;
inline constexpr CGKeyCode kVK_DownArrow = 125;
inline constexpr CGKeyCode kVK_UpArrow = 126;

}  // namespace tilvane
