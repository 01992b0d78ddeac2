#include "AppManager/Applications/ApplicationFilter.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tilvane {
namespace {
constexpr std::array<std::string_view, 9> kIgnoredBundleIdentifiers = {
    "com.apple.dashboard",           "com.apple.loginwindow",         "com.apple.AppleSpell",
    "com.apple.iTunesHelper",        "com.apple.storeuid",            "com.apple.quicklook.ui.helper",
    "com.apple.archiveutility",      "com.apple.QuickTimePlayerX",    "launch:com.apple.systempreferences",
};
}  // namespace

bool isIgnoredApplication(const NSRunningApplication& application) {
  if (!application.bundleIdentifier) return true;
  if (application.isAgent) return true;
  return std::find(kIgnoredBundleIdentifiers.begin(), kIgnoredBundleIdentifiers.end(),
                   *application.bundleIdentifier) != kIgnoredBundleIdentifiers.end();
}

}  // namespace tilvane
