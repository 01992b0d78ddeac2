// A tilvane:// link opened by another program: the desktop entry registered as run.sh registers it, the
// desktop's URL opener starts the program with the link, and that start hands it to the instance running.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

#include "support/TestEnvironment.h"
#include "tilvane/Shell/Process/PrivateDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

class URLOpenerTest : public WorldTest {
 protected:
  /// The installed entry with its Exec pointing at this build, the user's opener of the scheme (the path
  /// unquoted, as run.sh writes a path without spaces: the generic xdg-open cannot run a quoted one).
  void registerEntry() {
    const auto applications = tempDir() / "data" / "applications";
    std::filesystem::create_directories(applications);
    std::ifstream in(TILVANE_DESKTOP_ENTRY);
    std::ofstream out(applications / "tilvane.desktop");
    for (std::string line; std::getline(in, line);)
      out << (line.rfind("Exec=tilvane ", 0) == 0 ? "Exec=" TILVANE_BINARY_PATH " " + line.substr(13) : line)
          << "\n";
    out.close();
    ASSERT_EQ(runCommand({"xdg-mime", "default", "tilvane.desktop", "x-scheme-handler/tilvane"}), 0);
  }

  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  PrivateDesktop desktop_{tempDir() / "desktop"};
  ScopedEnv displayEnv_{"DISPLAY", desktop_.display()};
  std::string output_;
};

TEST_F(URLOpenerTest, TheDesktopsOpenerReachesTheRunningInstance) {
  ASSERT_FALSE(desktop_.display().empty()) << "the test desktop did not start";
  registerEntry();
  auto program = startTilvane();
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, "start App", output_)) << output_;

  EXPECT_EQ(runCommand({"xdg-open", "tilvane://action?target=layoutall"}), 0);
  EXPECT_TRUE(readUntil(*program, "layout all", output_, 10.0)) << output_;

  kill(program->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program, output_), 0) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
