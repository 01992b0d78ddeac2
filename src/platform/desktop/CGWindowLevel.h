#pragma once

#include <cstdint>

namespace tilvane {

/// A window's stacking level: windows of a higher level stay above those of a lower one.
using CGWindowLevel = std::int32_t;

/// The named levels the program uses.
enum class CGWindowLevelKey {
  /// Ordinary application windows.
  kCGNormalWindowLevelKey,
  /// Floating windows (palettes, the layout chooser), above every ordinary window.
  kCGFloatingWindowLevelKey,
};

/// The level of a named key: 0 for normal windows, 3 for floating ones.
constexpr CGWindowLevel CGWindowLevelForKey(CGWindowLevelKey key) {
  return key == CGWindowLevelKey::kCGFloatingWindowLevelKey ? 3 : 0;
}

}  // namespace tilvane
