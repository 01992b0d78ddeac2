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
  return isLayoutableWindow(window, bundleIdentifierOfWindow(window), window.title());
}

bool isLayoutableWindow(const SIWindow& window, const std::optional<std::string>& bundle,
                        const std::optional<std::string>& title) {
  if (isFinderInfoWindow(bundle, title)) return false;
  if (isQuickTimeDialog(bundle, title)) return false;
  if (bundle == "com.apple.systempreferences") return false;
  if (bundle == "com.apple.systempreference") return false;
  if (bundle == NSBundle::mainBundleIdentifier()) return false;
  if (!window.isMovable()) return false;
  if (!window.screen()) return false;
  if (!bundle) return false;
  return window.stringForKey(kAXSubroleAttribute) == kAXStandardWindowSubrole;
}

}  // namespace tilvane
