#include "platform/hotkeys/MASShortcut.h"

#include "platform/hotkeys/KeyNames.h"

#include <cctype>
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

std::string MASShortcut::keyCodeStringForKeyEquivalent() const {
  std::string name = keyName(keyCode_);
  if (name.size() == 1) name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
  return name;
}

std::string MASShortcut::readableString() const {
  const std::string key = keyName(keyCode_);
  return key.empty() ? std::string() : modifierNames(modifierFlags_) + key;
}

}  // namespace tilvane
