#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/desktop/Launcher.h"
#include "platform/desktop/SIWindow.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::sim {
namespace {

class SimLauncherTest : public test::WorldTest {
 protected:
  SimLauncherTest() : scope_(sim_) {
    sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
  }
  SimLauncher& launcher() { return sim_.simLauncher(); }
  std::optional<std::string> focusedBundle() {
    const auto window = SIWindow::focusedWindow();
    return window ? bundleIdentifierOfWindow(*window) : std::nullopt;
  }

  SimDesktop sim_;
  Desktop::Scope scope_;
};

TEST_F(SimLauncherTest, OpenToolTakesAnApplicationThenItsArgumentsEachOnItsOwn) {
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-a", "/usr/bin/xterm", "-e", "", "top"}));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-b", "org.example.Editor"}));
  ASSERT_EQ(launcher().launches().size(), 2u);
  EXPECT_EQ(launcher().launches()[0],
            (LaunchRequest{LaunchTarget::path, "/usr/bin/xterm", {"-e", "", "top"}, true}));
  EXPECT_EQ(launcher().launches()[1], (LaunchRequest{LaunchTarget::bundleIdentifier, "org.example.Editor", {}, true}));

  // Nothing but the open tool, and only with an application named, reaches the launcher.
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath("/bin/sh", {"-a", "x", "-c", "rm -rf ~"}));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-a"}));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"--args", "x"}));
  EXPECT_FALSE(NSWorkspaceLaunch::launchApplication(""));
  EXPECT_EQ(launcher().launches().size(), 2u);
}

TEST_F(SimLauncherTest, ScriptedApplicationStartsThenShowsItsFocusedWindowOnce) {
  launcher().script("/opt/editor/editor", {.application = {.bundleIdentifier = "org.example.Editor"},
                                           .window = {.title = "Untitled"},
                                           .startDelay = 0.2,
                                           .windowDelay = 0.5});
  std::vector<std::string> launched;
  auto sub = sim_.notificationCenter().didLaunchApplication().subscribe(
      [&](const NSWorkspaceApplicationNotification& n) { launched.push_back(*n.application->bundleIdentifier); });

  EXPECT_TRUE(NSWorkspaceLaunch::launchApplication("/opt/editor/editor"));
  EXPECT_TRUE(NSWorkspaceLaunch::launchApplication("/opt/editor/editor"));  // still starting: not twice
  advance(0.19);
  EXPECT_TRUE(NSWorkspace::runningApplications().empty());
  advance(0.02);
  EXPECT_EQ(launched, std::vector<std::string>{"org.example.Editor"});
  EXPECT_EQ(focusedBundle(), std::nullopt);
  advance(0.5);
  EXPECT_EQ(focusedBundle(), "org.example.Editor");
  EXPECT_EQ(NSWorkspace::runningApplications().size(), 1u);
  EXPECT_EQ(launcher().launches().size(), 2u);
  sub.dispose();
}

TEST_F(SimLauncherTest, RunningApplicationIsBroughtForward) {
  const pid_t editor = sim_.applications().addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  const pid_t other = sim_.applications().addApplication({.bundleIdentifier = "org.example.Other", .windows = {{}}});
  sim_.applications().focusWindow(sim_.applications().windowsOf(other).front());
  launcher().script("org.example.Editor", {.application = {.bundleIdentifier = "org.example.Editor"}});

  EXPECT_TRUE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Editor"));
  advance(1.0);
  EXPECT_EQ(focusedBundle(), "org.example.Editor");
  EXPECT_EQ(sim_.applications().windowsOf(editor).size(), 1u);
  EXPECT_EQ(NSWorkspace::runningApplications().size(), 2u);
}

TEST_F(SimLauncherTest, ApplicationsThatNeverStartOrNeverShowAWindow) {
  launcher().script("org.example.Dead", {.application = {.bundleIdentifier = "org.example.Dead"}, .starts = false});
  launcher().script("org.example.Daemon",
                    {.application = {.bundleIdentifier = "org.example.Daemon"}, .opensWindow = false});
  EXPECT_TRUE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Dead"));
  EXPECT_TRUE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Daemon"));
  EXPECT_FALSE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Unknown"));
  advance(10);
  ASSERT_EQ(NSWorkspace::runningApplications().size(), 1u);
  EXPECT_EQ(NSWorkspace::runningApplications()[0].bundleIdentifier, "org.example.Daemon");
  EXPECT_EQ(SIWindow::focusedWindow(), std::nullopt);
  EXPECT_EQ(launcher().launches().size(), 3u);
}

TEST_F(SimLauncherTest, PendingStartIsDroppedWithTheDesktop) {
  {
    SimDesktop other;
    Desktop::Scope scope(other);
    other.simLauncher().script("org.example.Editor", {.application = {.bundleIdentifier = "org.example.Editor"}});
    EXPECT_TRUE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Editor"));
  }
  advance(2);  // the start scheduled by the gone desktop must not run
  EXPECT_TRUE(sim_.applications().runningApplications().empty());
}

TEST(LauncherWithoutDesktop, EveryLaunchIsRefused) {
  EXPECT_FALSE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Editor"));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-b", "org.example.Editor"}));
}

}  // namespace
}  // namespace tilvane::sim
