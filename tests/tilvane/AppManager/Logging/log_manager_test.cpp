#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "AppManager/Logging/LogManager.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

namespace fs = std::filesystem;

class LogManagerTest : public test::WorldTest {
 protected:
  LogManagerTest() { tzset(); }
  ~LogManagerTest() override {
    LogManager::reset();
    tzset();
  }

  fs::path logDir() const { return tempDir() / "data" / "Tilvane" / "log"; }

  test::ScopedEnv tz_{"TZ", "UTC"};
};

TEST_F(LogManagerTest, LinesGoToTheConsoleAndAfterSetupToTheFilesOfTheirLevelWithTheirPrefixes) {
  testing::internal::CaptureStdout();
  LogManager::error("too early");
  EXPECT_FALSE(fs::exists(logDir()));  // before setup: the console only
  // The world's virtual clock starts at 1709640000 (2024-03-05 12:00 UTC).
  LogManager::setup();
  LogManager::error("disk full");
  LogManager::warning("slow reply");
  LogManager::debugOptional(std::string("Safari"));
  LogManager::debugOptional(std::nullopt);
  const std::string out = testing::internal::GetCapturedStdout();

  const std::string expected = "\U0001F534 disk full\n\u26A0\uFE0F slow reply\n\u2139\uFE0F Optional(\"Safari\")\n"
                               "\u2139\uFE0F nil\n";
  EXPECT_EQ(out, "\U0001F534 too early\n" + expected);
  EXPECT_EQ(LogManager::debugFilePath(), (logDir() / "debug" / "20240305" / "1709640000.log").string());
  EXPECT_EQ(test::readFile(LogManager::debugFilePath()), expected);
  EXPECT_EQ(test::readFile(logDir() / "error" / "20240305" / "1709640000.log"), "\U0001F534 disk full\n");
}

// Where a terminal user or a session log looks; once only when both streams are the same file.
TEST_F(LogManagerTest, WarningsAndErrorsAlsoReachStandardError) {
  LogManager::setup();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  LogManager::debug("quiet");
  LogManager::warning("slow reply");
  LogManager::error("disk full");
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "\u2139\uFE0F quiet\n\u26A0\uFE0F slow reply\n\U0001F534 disk full\n");
  EXPECT_EQ(err, "\u26A0\uFE0F slow reply\n\U0001F534 disk full\n");

  testing::internal::CaptureStdout();
  const int savedErr = dup(STDERR_FILENO);
  dup2(STDOUT_FILENO, STDERR_FILENO);
  LogManager::warning("said once");
  dup2(savedErr, STDERR_FILENO);
  close(savedErr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\u26A0\uFE0F said once\n");
}

TEST_F(LogManagerTest, EachLaunchGetsItsOwnFileInTheFolderOfItsCalendarDay) {
  LogManager::setup();
  LogManager::debug("first launch");
  advance(3600);
  LogManager::setup();
  LogManager::debug("second launch");
  EXPECT_EQ(test::readFile(logDir() / "debug" / "20240305" / "1709640000.log"), "\u2139\uFE0F first launch\n");
  EXPECT_EQ(test::readFile(logDir() / "debug" / "20240305" / "1709643600.log"), "\u2139\uFE0F second launch\n");

  // 2024-12-31 12:00 UTC lies in the first week of 2025; the folder is still dated 2024.
  dispatch::VirtualMainLoop lateDecember(1735646400.0);
  dispatch::MainQueue::Scope scope(lateDecember);
  LogManager::setup();
  LogManager::debug("new year's eve");
  EXPECT_TRUE(fs::exists(logDir() / "debug" / "20241231" / "1735646400.log"));
}

TEST_F(LogManagerTest, AnUnwritableLogFolderIsSaidAndLoggingGoesOnToTheConsole) {
  fs::create_directories(tempDir() / "data");
  std::ofstream(tempDir() / "data" / "Tilvane") << "a file where the folder should be";
  testing::internal::CaptureStdout();
  LogManager::setup();
  LogManager::debug("still here");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("\u26A0\uFE0F cannot write log files under " + logDir().string(), 0), 0u) << out;
  EXPECT_NE(out.find("\u2139\uFE0F still here\n"), std::string::npos);
}

}  // namespace
}  // namespace tilvane
