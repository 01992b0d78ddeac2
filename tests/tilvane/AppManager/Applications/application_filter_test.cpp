#include <gtest/gtest.h>

#include "AppManager/Applications/ApplicationFilter.h"

namespace tilvane {
namespace {

NSRunningApplication app(std::optional<std::string> bundle, bool agent = false) {
  return NSRunningApplication{.processIdentifier = 10, .bundleIdentifier = std::move(bundle), .isAgent = agent};
}

TEST(ApplicationFilter, IgnoresAnonymousProcessesAgentsAndListedHelpersByTheirWholeIdentifier) {
  EXPECT_TRUE(isIgnoredApplication(app(std::nullopt)));
  EXPECT_TRUE(isIgnoredApplication(app("org.example.TrayHelper", true)));
  for (const char* listed : {"com.apple.QuickTimePlayerX", "com.apple.loginwindow", "launch:com.apple.systempreferences"})
    EXPECT_TRUE(isIgnoredApplication(app(listed))) << listed;
  for (const char* kept : {"com.apple.quicktimeplayerx", "com.apple.systempreferences", "com.apple.loginwindow.extra",
                           "com.apple.login", "", "com.apple.finder"})
    EXPECT_FALSE(isIgnoredApplication(app(kept))) << kept;
}

}  // namespace
}  // namespace tilvane
