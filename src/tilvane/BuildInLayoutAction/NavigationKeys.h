#pragma once

#include "platform/desktop/CGEvent.h"

namespace tilvane {

// Virtual key codes of the keys that walk the layout chooser's node graph, and of the two it handles apart.
inline constexpr CGKeyCode kVK_Return = 36;
inline constexpr CGKeyCode kVK_Tab = 48;
inline constexpr CGKeyCode kVK_Escape = 53;
inline constexpr CGKeyCode kVK_LeftArrow = 123;
inline constexpr CGKeyCode kVK_RightArrow = 124;
inline constexpr CGKeyCode kVK_DownArrow = 125;
inline constexpr CGKeyCode kVK_UpArrow = 126;

}  // namespace tilvane
