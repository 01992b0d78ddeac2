#include "BuildInLayoutAction/ChooserKeys.h"

#include <array>

#include "platform/desktop/KeyCodes.h"

namespace tilvane {

std::optional<int> desktopForDigitKey(CGKeyCode key) {
  // In desktop order; the digit row's codes are not in numeric order.
  constexpr std::array<CGKeyCode, 9> kDigits{kVK_ANSI_1, kVK_ANSI_2, kVK_ANSI_3, kVK_ANSI_4, kVK_ANSI_5,
                                             kVK_ANSI_6, kVK_ANSI_7, kVK_ANSI_8, kVK_ANSI_9};
  for (int desktop = 0; desktop < static_cast<int>(kDigits.size()); ++desktop)
    if (kDigits[static_cast<std::size_t>(desktop)] == key) return desktop;
  return std::nullopt;
}

}  // namespace tilvane
