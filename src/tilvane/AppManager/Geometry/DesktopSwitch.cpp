#include "AppManager/Geometry/DesktopSwitch.h"

#include <array>

#include "platform/desktop/EventPosting.h"
#include "platform/desktop/KeyCodes.h"

namespace tilvane {
namespace {
// Indexed by position − 1.
constexpr std::array<CGKeyCode, 9> kDigitKeys{kVK_ANSI_1, kVK_ANSI_2, kVK_ANSI_3, kVK_ANSI_4, kVK_ANSI_5,
                                              kVK_ANSI_6, kVK_ANSI_7, kVK_ANSI_8, kVK_ANSI_9};
}  // namespace

std::optional<CGKeyCode> desktopKeyCode(int position) {
  if (position == 0 || position == 10) return kVK_ANSI_0;
  if (position >= 1 && position <= 9) return kDigitKeys[static_cast<std::size_t>(position - 1)];
  return std::nullopt;
}

void switchToDesktop(int position) {
  const std::optional<CGKeyCode> key = desktopKeyCode(position);
  if (!key) return;
  std::optional<CGEvent> down = CGEventCreateKeyboardEvent(*key, true);
  std::optional<CGEvent> up = CGEventCreateKeyboardEvent(*key, false);
  if (down) CGEventSetFlags(*down, kCGEventFlagMaskControl);
  if (up) CGEventSetFlags(*up, 0);
  if (down) CGEventPost(CGEventTapLocation::hid, *down);
  if (up) CGEventPost(CGEventTapLocation::hid, *up);
}

}  // namespace tilvane
