// Launch at login through the XDG autostart entry, under the test's own $XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/autostart/XdgAutostart.h"
#include "platform/base/XdgPaths.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

TEST(XdgAutostartTest, EnableWritesTheEntryAndDisableRemovesIt) {
  const test::ScopedTempDir temp;
  const test::ScopedEnv config("XDG_CONFIG_HOME", temp.path().string());
  XdgAutostart autostart("/opt/My Apps/tilvane");
  const std::filesystem::path entry = temp.path() / "autostart" / "tilvane.desktop";
  EXPECT_EQ(autostart.entryPath(), entry);

  EXPECT_TRUE(autostart.disableLaunchAtLogin()) << "no entry is no start at login already";
  ASSERT_TRUE(autostart.enableLaunchAtLogin());
  const std::string text = test::readFile(entry);
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"/opt/My Apps/tilvane\"\n"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(entry.parent_path()), {}), 1)
      << "nothing left beside it";
  ASSERT_TRUE(autostart.enableLaunchAtLogin()) << "enabling twice is fine";
  ASSERT_TRUE(autostart.disableLaunchAtLogin());
  EXPECT_FALSE(std::filesystem::exists(entry));
}

TEST(XdgAutostartTest, TheProgramPathIsQuotedAsTheEntryFormatWants) {
  EXPECT_NE(XdgAutostart::entryText("/a/b\"c$d`e\\f%g").find("Exec=\"/a/b\\\\\"c\\\\$d\\\\`e\\\\\\\\f%%g\"\n"),
            std::string::npos);
  EXPECT_NE(XdgAutostart::entryText("/a\nX-Evil=1").find("Exec=\"/aX-Evil=1\"\n"), std::string::npos)
      << "a line break cannot start a key of its own";
}

TEST(XdgAutostartTest, IOErrorsAnswerFalseAndLeaveThingsAsTheyWere) {
  const test::ScopedTempDir temp;
  const test::ScopedEnv config("XDG_CONFIG_HOME", temp.path().string());
  std::ofstream(temp.path() / "autostart") << "a file where the folder belongs";
  XdgAutostart autostart("/usr/bin/tilvane");
  EXPECT_FALSE(autostart.enableLaunchAtLogin());
  EXPECT_EQ(test::readFile(temp.path() / "autostart"), "a file where the folder belongs");

  std::filesystem::remove(temp.path() / "autostart");
  std::filesystem::create_directories(temp.path() / "autostart" / "tilvane.desktop" / "inside");
  EXPECT_FALSE(autostart.disableLaunchAtLogin()) << "a folder at the entry's place cannot be removed as an entry";
  EXPECT_TRUE(std::filesystem::exists(temp.path() / "autostart" / "tilvane.desktop" / "inside"));
}

}  // namespace
}  // namespace tilvane
