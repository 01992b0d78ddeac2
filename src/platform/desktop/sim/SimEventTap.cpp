// The sim's event machinery: records every posted event and carries out the desktop shortcuts.
#include <array>
#include <utility>

#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/sim/SimDesktop.h"

namespace tilvane::sim {
namespace {
// Control + the digit key of a position shows the desktop at that position; digit 0 is position 10.
constexpr std::array<std::pair<CGKeyCode, int>, 10> kDesktopShortcuts{{
    {kVK_ANSI_1, 1},
    {kVK_ANSI_2, 2},
    {kVK_ANSI_3, 3},
    {kVK_ANSI_4, 4},
    {kVK_ANSI_5, 5},
    {kVK_ANSI_6, 6},
    {kVK_ANSI_7, 7},
    {kVK_ANSI_8, 8},
    {kVK_ANSI_9, 9},
    {kVK_ANSI_0, 10},
}};

int shortcutPosition(const CGEvent& event) {
  if (event.type != CGEventType::keyDown) return 0;
  if ((event.flags & kCGEventModifierMask) != kCGEventFlagMaskControl) return 0;
  for (const auto& [key, position] : kDesktopShortcuts)
    if (key == event.keyCode) return position;
  return 0;
}
}  // namespace

std::optional<CGEvent> SimDesktop::createEvent(const CGEvent& proposed) {
  if (refuse_ && refuse_(proposed)) return std::nullopt;
  return proposed;
}

void SimDesktop::post(CGEventTapLocation tap, const CGEvent& event) {
  posted_.push_back(PostedEvent{tap, event});
  if (const int position = shortcutPosition(event); position > 0) switchToSpaceAtPosition(position);
}

}  // namespace tilvane::sim
