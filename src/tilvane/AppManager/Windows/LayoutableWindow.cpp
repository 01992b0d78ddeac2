#include "AppManager/Windows/LayoutableWindow.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/desktop/NSBundle.h"
#include "platform/desktop/WindowBundleIdentifier.h"

namespace tilvane {
namespace {
// Characters, not bytes: every UTF-8 byte that does not continue a sequence starts a character.
std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

bool isFinderInfoWindow(const std::optional<std::string>& bundle, const std::optional<std::string>& title) {
  constexpr std::string_view suffix = " Info";
  const std::string text = title.value_or(std::string());
  return bundle == "com.apple.finder" && characterCount(text) > characterCount(suffix) &&
         text.ends_with(suffix);
}

bool isQuickTimeDialog(const std::optional<std::string>& bundle, const std::optional<std::string>& title) {
  return bundle == "com.apple.QuickTimePlayerX" &&
         (title == "Open" || title == "Screen Selector" || title == "Screen Recording");
}
}  // namespace

bool isLayoutableWindow(const SIWindow& window) {
  const auto title = window.title();
  if (isFinderInfoWindow(bundleIdentifierOfWindow(window), title)) return false;
  if (isQuickTimeDialog(bundleIdentifierOfWindow(window), title)) return false;
  if (bundleIdentifierOfWindow(window) == "com.apple.systempreferences") return false;
  if (bundleIdentifierOfWindow(window) == "com.apple.systempreference") return false;
  if (bundleIdentifierOfWindow(window) == NSBundle::mainBundleIdentifier()) return false;
  if (!window.isMovable()) return false;
  if (!window.screen()) return false;
  if (!bundleIdentifierOfWindow(window)) return false;
  return window.stringForKey(kAXSubroleAttribute) == kAXStandardWindowSubrole;
}

}  // namespace tilvane
