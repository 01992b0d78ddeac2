#include "UI/HUD/VkHUDStyle.h"

namespace tilvane {

HUDMetrics hudMetrics(VkHUDSize size) {
  switch (size) {
    case VkHUDSize::small:
      return {20, 1};
    case VkHUDSize::medium:
      return {60, 3};
    case VkHUDSize::large:
      return {100, 5};
  }
  return {60, 3};
}

HUDPalette hudPalette(VkHUDStyle style) {
  constexpr HUDColor white{1, 1, 1, 1};
  constexpr HUDColor darkGrey{0.15, 0.16, 0.17, 1};
  if (style == VkHUDStyle::light) return {darkGrey, HUDColor{1, 1, 1, 0.9}, darkGrey};
  return {white, HUDColor{0, 0, 0, 0.9}, white};
}

}  // namespace tilvane
