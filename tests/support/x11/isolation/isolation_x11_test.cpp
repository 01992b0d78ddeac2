// The X tests stay apart whatever they leave: each case runs helper tests of this binary (disabled in normal
// runs) as test processes of their own on the test desktop, as ctest would one after the other, and looks at
// what the next one finds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/x11/TestDesktop.h"
#include "tilvane/Shell/Process/PrivateDesktop.h"

namespace tilvane::test::x11 {
namespace {

/// Runs the helper test `name` of this binary as a test process of its own, with `env` ("NAME=value") added;
/// its exit status (-1 when it did not end within a minute). What it printed goes to `said`, when given.
int runHelper(const std::string& name, const std::vector<std::string>& env = {}, std::string* said = nullptr) {
  std::vector<std::string> argv{"env"};
  argv.insert(argv.end(), env.begin(), env.end());
  argv.insert(argv.end(), {std::filesystem::read_symlink("/proc/self/exe").string(),
                           "--gtest_filter=IsolationHelper.DISABLED_" + name, "--gtest_also_run_disabled_tests"});
  auto helper = ChildProcess::spawn(argv);
  if (!helper) return -1;
  std::string line;
  while (helper->readLine(line, 60.0)) {
    std::cout << "  | " << line << "\n";
    if (said) *said += line + "\n";
  }
  const int status = helper->wait(60.0);
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

/// A test client with windows of class TilvaneLeft, left to a session of its own: nothing of the test holds it.
void leaveAWindow(XProbe& probe, const std::vector<std::string>& env = {}) {
  std::vector<std::string> argv{"env"};
  argv.insert(argv.end(), env.begin(), env.end());
  // Its output goes nowhere: a pipe whose reader has gone would end it.
  argv.insert(argv.end(), {"sh", "-c", "setsid -f \"$0\" --class left,TilvaneLeft >/dev/null 2>&1",
                           TILVANE_TESTCLIENT_PATH});
  ASSERT_EQ(runCommand(argv), 0);
  const auto shown = [&] {
    for (const xcb_window_t w : probe.clientList())
      if (probe.text(w, "WM_CLASS").find("TilvaneLeft") != std::string::npos) return true;
    return false;
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!shown() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(shown()) << "the test client showed no window";
}

class IsolationHelper : public X11DesktopTest {};

TEST_F(IsolationHelper, DISABLED_LeavesAProgramAndFails) {
  leaveAWindow(probe());
  FAIL() << "failed on purpose, its program left running";
}

TEST_F(IsolationHelper, DISABLED_LeavesAProgramAndIsKilled) {
  leaveAWindow(probe());
  raise(SIGKILL);  // as ctest ends a test at its time-out
}

TEST_F(IsolationHelper, DISABLED_LeavesAWindowOfAnotherProgram) {
  // Unmarked: a window the test harness knows nothing of, as one opened by hand would be.
  leaveAWindow(probe(), {"-u", kTestOwnerVariable});
}

TEST_F(IsolationHelper, DISABLED_PostsAKeyAndLeavesItsModifierHeld) {
  ASSERT_EQ(runCommand({"xdotool", "keydown", "Control_L", "key", "a"}), 0);
}

TEST_F(IsolationHelper, DISABLED_LeavesAButtonHeld) { ASSERT_EQ(runCommand({"xdotool", "mousedown", "3"}), 0); }

TEST_F(IsolationHelper, DISABLED_LeavesAKeyHeldAndIsKilled) {
  ASSERT_EQ(runCommand({"xdotool", "keydown", "Shift_L"}), 0);
  raise(SIGKILL);
}

TEST_F(IsolationHelper, DISABLED_FindsTheDesktopAsItShouldBe) {}
pid_t windowManagerPid() {
  pid_t pid = 0;
  std::ifstream(std::filesystem::path(std::getenv("TILVANE_TEST_DESKTOP")) / "wm.pid") >> pid;
  return pid;
}

TEST_F(IsolationHelper, DISABLED_EndsTheWindowManager) {
  const pid_t pid = windowManagerPid();
  ASSERT_GT(pid, 0);
  kill(pid, SIGKILL);
}

// As a killed process does under load: its connection closes well before the process is seen to have ended.
TEST_F(IsolationHelper, DISABLED_EndsTheWindowManagersConnectionBeforeItsProcess) {
  const pid_t pid = windowManagerPid();
  ASSERT_GT(pid, 0);
  const auto check = probe().cardinals(probe().root(), "_NET_SUPPORTING_WM_CHECK");
  ASSERT_FALSE(check.empty());
  kill(pid, SIGSTOP);
  probe().disconnectClient(check[0]);
  probe().sync();
  // Unmarked, so that the test's end does not end it first.
  ASSERT_EQ(runCommand({"env", "-u", kTestOwnerVariable, "sh", "-c", "(sleep 0.5; kill -KILL \"$0\") >/dev/null 2>&1 &",
                        std::to_string(pid)}),
            0);
}

class IsolationTest : public X11DesktopTest {};

TEST_F(IsolationTest, WhatAFailedOrKilledTestLeftRunningIsEndedAndTheNextTestFindsTheDesktopEmpty) {
  for (const std::string helper : {"LeavesAProgramAndFails", "LeavesAProgramAndIsKilled"}) {
    SCOPED_TRACE(helper);
    EXPECT_NE(runHelper(helper), 0);
    EXPECT_EQ(runHelper("FindsTheDesktopAsItShouldBe"), 0);
  }
}

// A test that leaves a key or button held fails, and lets it go; the next test starts clean, also after a test
// killed before it could.
TEST_F(IsolationTest, ATestLeavingAKeyOrButtonHeldFailsAndTheNextStartsClean) {
  for (const auto& [helper, killed] :
       {std::pair{"PostsAKeyAndLeavesItsModifierHeld", false}, std::pair{"LeavesAButtonHeld", false},
        std::pair{"LeavesAKeyHeldAndIsKilled", true}}) {
    SCOPED_TRACE(helper);
    EXPECT_NE(runHelper(helper), 0);
    if (!killed) {
      EXPECT_TRUE(probe().releaseHeldKeysAndButtons().empty());
    }
    EXPECT_EQ(runHelper("FindsTheDesktopAsItShouldBe"), 0);
    EXPECT_TRUE(probe().releaseHeldKeysAndButtons().empty());
  }
}

TEST_F(IsolationTest, AWindowNoTestMadeFailsOneTestByNameAndIsClosedForTheNext) {
  ASSERT_EQ(runHelper("LeavesAWindowOfAnotherProgram"), 0);
  EXPECT_NE(runHelper("FindsTheDesktopAsItShouldBe"), 0);
  EXPECT_EQ(runHelper("FindsTheDesktopAsItShouldBe"), 0);
}

TEST_F(IsolationTest, ADesktopWhoseWindowManagerAndTrayEndedGetsThemBackAndOneTestSaysSo) {
  const std::filesystem::path state = tempDir() / "desktop";
  const PrivateDesktop desktop(state);
  ASSERT_FALSE(desktop.display().empty());
  for (const char* program : {"wm.pid", "trayer.pid"}) {
    pid_t pid = 0;
    std::ifstream(state / program) >> pid;
    ASSERT_GT(pid, 0) << program;
    kill(pid, SIGKILL);
  }
  const std::vector<std::string> env{"TILVANE_TEST_DESKTOP=" + state.string()};
  EXPECT_NE(runHelper("FindsTheDesktopAsItShouldBe", env), 0);
  EXPECT_EQ(runHelper("FindsTheDesktopAsItShouldBe", env), 0);
  XProbe probe(desktop.display());
  ASSERT_TRUE(probe.ok());
  EXPECT_FALSE(probe.cardinals(probe.root(), "_NET_SUPPORTING_WM_CHECK").empty());
  bool dock = false;
  for (const xcb_window_t w : probe.clientList())
    dock = dock || probe.text(w, "WM_CLASS").find("trayer") != std::string::npos;
  EXPECT_TRUE(dock) << "no tray";
}

// The window manager ending while a test runs is that test's failure, with the window manager's last lines; the
// next test finds it running again and passes.
TEST_F(IsolationTest, AWindowManagerEndingDuringATestFailsThatTestAndNotTheNext) {
  const std::filesystem::path state = tempDir() / "desktop";
  const PrivateDesktop desktop(state);
  ASSERT_FALSE(desktop.display().empty());
  const std::vector<std::string> env{"TILVANE_TEST_DESKTOP=" + state.string()};
  for (const std::string helper : {"EndsTheWindowManager", "EndsTheWindowManagersConnectionBeforeItsProcess"}) {
    SCOPED_TRACE(helper);
    std::string said;
    EXPECT_NE(runHelper(helper, env, &said), 0);
    EXPECT_NE(said.find("window manager (openbox) ended during this test; its last lines:"), std::string::npos)
        << said;
    EXPECT_EQ(runHelper("FindsTheDesktopAsItShouldBe", env), 0);
  }
}

}  // namespace
}  // namespace tilvane::test::x11
