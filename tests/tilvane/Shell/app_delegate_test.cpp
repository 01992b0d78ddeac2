// The launch sequence and the end of the program as the program runs them, on the simulated desktop and the
// virtual clock.
#include <gtest/gtest.h>

#include <cstdlib>

#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Shell/AppDelegate.h"
#include "Shell/Shutdown.h"
#include "Shortcuts/ShortcutsManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/HotKeyServer.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"

namespace tilvane::test {
namespace {

class AppDelegateTest : public WindowWorld {
 protected:
  /// Launches with a custom layout on a hot key and one window laid out at its stored right half, then lets
  /// the user move the window to the left half: a move still inside its 2.0 s quiet period.
  void launchWithPendingMove() {
    StoreService::shared().configureRealm();
    auto layout = std::make_shared<CustomLayoutModel>();
    layout->setKeyCode(kVK_ANSI_1);
    layout->setModifierFlags(kCGEventFlagMaskControl | kCGEventFlagMaskAlternate);
    const auto database = store::Database::open();
    database->write([&] { database->add(layout, store::UpdatePolicy::all); });
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
    advance(1.0);
  }

  void expectMoveWritten() {
    StoreService::shared().configureRealm();  // an ended program leaves the store unconfigured
    const auto stored = records();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_DOUBLE_EQ(stored[0]->x(), 0.0);
    EXPECT_DOUBLE_EQ(stored[0]->width(), 0.5);
  }

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

TEST_F(AppDelegateTest, ShutdownWritesThePendingMoveAndEndsEveryManagerWhileTheLoopAndKeysAreThere) {
  launchWithPendingMove();
  ASSERT_EQ(hotKeys_.grabbed().size(), 1u);

  Shutdown(delegate_).run();
  expectMoveWritten();
  EXPECT_FALSE(SharedInstance<LayoutManager>::exists());
  EXPECT_FALSE(SharedInstance<ShortcutsManager>::exists());
  EXPECT_TRUE(hotKeys_.grabbed().empty());  // let go on the live server
  // What is still queued finds its owner gone and does nothing (the sanitizer build sees a use after free).
  const auto lines = log.lines().size();
  loop().advance(60);
  EXPECT_EQ(log.lines().size(), lines);
}

TEST_F(AppDelegateTest, AnExitFromInsideTheLoopStillWritesThePendingMove) {
  launchWithPendingMove();
  // Qt ends the process with exit(1) when its X connection breaks, from inside the running loop.
  EXPECT_EXIT(
      {
        Shutdown shutdown(delegate_);
        shutdown.coverExit();
        std::exit(1);
      },
      ::testing::ExitedWithCode(1), "");
  expectMoveWritten();
}

}  // namespace
}  // namespace tilvane::test
