#include <gtest/gtest.h>

#include "AppManager/Applications/ApplicationFilter.h"

namespace tilvane {
namespace {

NSRunningApplication app(std::optional<std::string> bundle, bool agent = false) {
  return NSRunningApplication{.processIdentifier = 10, .bundleIdentifier = std::move(bundle), .isAgent = agent};
}

TEST(ApplicationFilter, IgnoresAnonymousProcessesAgentsAndTheListedHelpers) {
  EXPECT_TRUE(isIgnoredApplication(app(std::nullopt)));
  EXPECT_TRUE(isIgnoredApplication(app("org.example.TrayHelper", true)));
  for (const char* listed : {"com.apple.dashboard", "com.apple.loginwindow", "com.apple.AppleSpell",
                             "com.apple.iTunesHelper", "com.apple.storeuid", "com.apple.quicklook.ui.helper",
                             "com.apple.archiveutility", "com.apple.QuickTimePlayerX",
                             "launch:com.apple.systempreferences"})
    EXPECT_TRUE(isIgnoredApplication(app(listed))) << listed;
}

TEST(ApplicationFilter, MatchesWholeIdentifiersCaseSensitively) {
  EXPECT_FALSE(isIgnoredApplication(app("com.apple.quicktimeplayerx")));
  EXPECT_FALSE(isIgnoredApplication(app("com.apple.systempreferences")));
  EXPECT_FALSE(isIgnoredApplication(app("com.apple.loginwindow.extra")));
  EXPECT_FALSE(isIgnoredApplication(app("com.apple.login")));
  EXPECT_FALSE(isIgnoredApplication(app("")));
  EXPECT_FALSE(isIgnoredApplication(app("com.apple.finder")));
}

}  // namespace
}  // namespace tilvane
