// The launch sequence as the program runs it, on the simulated desktop and the virtual clock.
#include <gtest/gtest.h>

#include "Models/AutoLayoutModel.h"
#include "Shell/AppDelegate.h"
#include "platform/hotkeys/HotKeyServer.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "support/windows/WindowWorld.h"

namespace tilvane::test {
namespace {

class AppDelegateTest : public WindowWorld {
 protected:
  sim::SimHotKeys hotKeys_;
  HotKeyServer::Scope hotKeyScope_{hotKeys_};
  AppDelegate delegate_;
};

TEST_F(AppDelegateTest, LaunchAnnouncesEachStepInOrder) {
  delegate_.applicationDidFinishLaunching();
  const std::vector<std::string> expected = {
      "setup App",           "setup Data",          "setup Manager",           "AppManager setup",
      "ScreenManager setup", "setupFirstRun",       "LayoutManager setup",     "WindowManager setup",
      "ApplicationManager setup", "ShortcutsManager setup", "start App"};
  std::vector<std::string> steps;
  for (const std::string& line : log.lines())
    for (const std::string& step : expected)
      if (line == "\u2139\uFE0F " + step) steps.push_back(step);
  EXPECT_EQ(steps, expected);
}

TEST_F(AppDelegateTest, RunningWindowsAreLaidOutAndAMoveStillPendingAtQuitIsWritten) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  const pid_t pid = apps().addApplication(
      {.bundleIdentifier = "org.example.Editor", .windows = {{.title = "A", .frame = CGRectMake(10, 40, 400, 300)}}});
  delegate_.applicationDidFinishLaunching();
  advance(1.0);  // running applications' windows are admitted after 1.0 s
  drain();
  const AXUIElement window = apps().windowsOf(pid).front();
  EXPECT_EQ(frameOf(window), CGRectMake(720, 23, 720, 877));

  advance(3.0);  // past the 2.5 s in which the program's own move is not recorded
  ASSERT_TRUE(apps().userMoveWindow(window, CGRectMake(0, 23, 720, 877)));
  drain();
  advance(1.0);  // still inside the 2.0 s quiet period
  delegate_.applicationWillTerminate();

  const auto stored = records();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_DOUBLE_EQ(stored[0]->x(), 0.0);
  EXPECT_DOUBLE_EQ(stored[0]->width(), 0.5);
}

}  // namespace
}  // namespace tilvane::test
