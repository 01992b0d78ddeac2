#include "platform/hotkeys/MASShortcut.h"

#include <string_view>
#include <utility>

namespace tilvane {

std::string MASShortcut::description() const {
  static constexpr std::pair<CGEventFlags, std::string_view> names[] = {
      {kCGEventFlagMaskControl, "Control"},
      {kCGEventFlagMaskAlternate, "Option"},
      {kCGEventFlagMaskShift, "Shift"},
      {kCGEventFlagMaskCommand, "Command"},
  };
  std::string text;
  for (const auto& [flag, name] : names) {
    if ((modifierFlags_ & flag) == 0) continue;
    text += name;
    text += '+';
  }
  text += "key ";
  text += std::to_string(keyCode_);
  return text;
}

}  // namespace tilvane
