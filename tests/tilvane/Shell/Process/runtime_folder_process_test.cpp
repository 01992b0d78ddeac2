// The program started as run.sh starts it outside a login session (root on a fresh machine): no
// $XDG_RUNTIME_DIR. The script gives it the private folder the program falls back to by itself, so Qt has
// nothing to complain of and a start with and one without the script meet at the same instance socket.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "support/TestEnvironment.h"
#include "tilvane/Shell/Process/PrivateDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

class RunScriptTest : public WorldTest {};

TEST_F(RunScriptTest, AStartWithoutASessionsFolderGetsTheProgramsOwnPrivateOneAndQtSaysNothing) {
  const ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
  const ScopedEnv tmp("TMPDIR", tempDir().string());
  const ScopedEnv qtPlatform("QT_QPA_PLATFORM", std::nullopt);
  const PrivateDesktop desktop(tempDir() / "desktop");
  const ScopedEnv display("DISPLAY", desktop.display());
  auto program = ChildProcess::spawn(
      {"bash", "-c", ". \"$0\" && exec \"$1\" 2>&1", TILVANE_RUNTIME_SCRIPT, TILVANE_BINARY_PATH});
  std::string output;
  ASSERT_TRUE(program && readUntil(*program, "start App", output)) << output;
  EXPECT_EQ(output.find("XDG_RUNTIME_DIR"), std::string::npos) << output;
  const auto folder = tempDir() / ("tilvane-" + std::to_string(getuid()));
  EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
  EXPECT_FALSE(std::filesystem::is_empty(folder)) << "the instance socket is not in the program's own folder";
  kill(program->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program, output), 0) << output;
}

}  // namespace
}  // namespace tilvane::test::x11
