#include <gtest/gtest.h>

#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventPosting.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/NSApplication.h"
#include "platform/desktop/WindowServer.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

TEST(DesktopInstallation, WithoutABackendThereIsNothingAndNothingBreaks) {
  ASSERT_EQ(Desktop::current(), nullptr);
  EXPECT_TRUE(NSScreen::screens().empty());
  EXPECT_FALSE(NSScreen::mainScreen());
  EXPECT_FALSE(NSScreen::screensHaveSeparateSpaces());
  EXPECT_FALSE(CGSCopyManagedDisplaySpaces());
  EXPECT_FALSE(CGSCopyBestManagedDisplayForRect(CGRectMake(0, 0, 10, 10)));
  EXPECT_FALSE(CGEventCreateKeyboardEvent(18, true));
  EXPECT_FALSE(CGEventCreateMouseEvent(CGEventType::mouseMoved, {1, 2}, CGMouseButton::left));
  CGEventPost(CGEventTapLocation::hid, CGEvent{});  // goes nowhere
  EXPECT_FALSE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Editor"));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-b", "org.example.Editor"}));
  NSApplication::activateIgnoringOtherApps(true);
  NSApplication::setWindowLevel(1, CGWindowLevelForKey(CGWindowLevelKey::kCGFloatingWindowLevelKey));
}

TEST(DesktopInstallation, ScopesNestAndRestoreThePreviousBackend) {
  sim::SimDesktop outer, inner;
  {
    Desktop::Scope a(outer);
    {
      Desktop::Scope b(inner);
      EXPECT_EQ(Desktop::current(), &inner);
    }
    EXPECT_EQ(Desktop::current(), &outer);
  }
  EXPECT_EQ(Desktop::current(), nullptr);
}

class OpenToolTest : public test::WorldTest {};

TEST_F(OpenToolTest, TakesAnApplicationThenItsArgumentsEachOnItsOwn) {
  sim::SimDesktop sim;
  Desktop::Scope scope(sim);
  const auto& launches = sim.simLauncher().launches();
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-a", "/usr/bin/xterm", "-e", "", "top"}));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-b", "org.example.Editor"}));
  // "-n" first asks for a new instance; anywhere else it is the application's argument.
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-n", "-b", "org.example.Editor", "-n"}));
  EXPECT_FALSE(NSWorkspaceLaunch::launchApplication("/usr/bin/xterm", NSWorkspaceLaunchOptions::newInstance));
  ASSERT_EQ(launches.size(), 4u);
  EXPECT_EQ(launches[0], (LaunchRequest{LaunchTarget::path, "/usr/bin/xterm", {"-e", "", "top"}, true}));
  EXPECT_EQ(launches[1], (LaunchRequest{LaunchTarget::bundleIdentifier, "org.example.Editor", {}, true}));
  EXPECT_EQ(launches[2], (LaunchRequest{LaunchTarget::bundleIdentifier, "org.example.Editor", {"-n"}, true, true}));
  EXPECT_EQ(launches[3], (LaunchRequest{LaunchTarget::path, "/usr/bin/xterm", {}, false, true}));

  // Nothing but the open tool, and only with an application named, reaches the launcher.
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath("/bin/sh", {"-a", "x", "-c", "rm -rf ~"}));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-a"}));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"-n", "-a"}));
  EXPECT_FALSE(NSTask::launchedTaskWithLaunchPath(kOpenToolPath, {"--args", "x"}));
  EXPECT_FALSE(NSWorkspaceLaunch::launchApplication(""));
  EXPECT_FALSE(NSWorkspaceLaunch::launchAppWithBundleIdentifier("org.example.Unknown"));
  EXPECT_EQ(launches.size(), 5u);
}

class NotificationDelivery : public test::WorldTest {};

TEST_F(NotificationDelivery, ArrivesOnALaterTurnOfTheMainLoopEvenAfterTheCentreIsGone) {
  int got = 0;
  rx::Disposable sub;
  {
    DesktopNotificationCenter centre;
    sub = centre.activeSpaceDidChange().subscribe([&](rx::Unit) { ++got; });
    DesktopNotificationCenter::post(centre.activeSpaceDidChange());
    EXPECT_EQ(got, 0) << "delivered before the poster returned";
  }
  drain();
  EXPECT_EQ(got, 1);
}

TEST(NotificationDeliveryWithoutLoop, IsImmediate) {
  ASSERT_EQ(dispatch::MainQueue::loop(), nullptr);
  DesktopNotificationCenter centre;
  int got = 0;
  auto sub = centre.screenParametersDidChange().subscribe([&](rx::Unit) { ++got; });
  DesktopNotificationCenter::post(centre.screenParametersDidChange());
  EXPECT_EQ(got, 1);
}

}  // namespace
}  // namespace tilvane
