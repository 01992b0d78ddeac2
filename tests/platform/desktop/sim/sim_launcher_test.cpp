// What the open tool hands a launcher: an application, then its arguments each on its own; the scripted starts
// are exercised by the workspace restores.
#include <gtest/gtest.h>

#include "platform/desktop/Launcher.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::sim {
namespace {

class SimLauncherTest : public test::WorldTest {
 protected:
  SimLauncherTest() : scope_(sim_) { sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900)}); }
  SimLauncher& launcher() { return sim_.simLauncher(); }

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
  EXPECT_FALSE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Unknown"));
  EXPECT_EQ(launcher().launches().size(), 3u);
}

}  // namespace
}  // namespace tilvane::sim
