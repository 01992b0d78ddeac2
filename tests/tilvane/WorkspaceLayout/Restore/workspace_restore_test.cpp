#include <gtest/gtest.h>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "RestoreWorld.h"
#include "WorkspaceLayout/Restore/WorkspaceItemLayoutOperation.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

using Keys = std::vector<int>;
using Messages = std::vector<test::ShownMessage>;
using test::workspaceItem;

// Messages are shown in the user's language.
std::string text(const std::string& key) { return NSLocalizedString(key); }

class WorkspaceRestoreTest : public test::RestoreWorld {
 protected:
  LayoutManager& manager() { return LayoutManager::shared(); }
  /// Advances the clock to `t` seconds after the test began.
  void advanceTo(double t) { advance(t - now()); }
  /// Launch times, in seconds since the test began.
  std::vector<double> launchTimes() {
    std::vector<double> times;
    const double start = loop().now() - loop().elapsed();
    for (double t : launcher().launchTimes()) times.push_back(t - start);
    return times;
  }
  void showPositions(std::initializer_list<int> positions) {
    for (int position : positions) {
      sim().switchToSpaceAtPosition(position);
      drain();
    }
    sim().clearPostedEvents();
  }
  /// Restores an empty workspace: its message, the visit, no switch, and the closing message `end` s later.
  void expectEmptyRestoreTakes(double end, const Keys& keys) {
    manager().layoutWorkspace(*workspace({}));
    advanceTo(end - 0.01);
    EXPECT_EQ(messages.size(), 1u);
    advanceTo(end);
    drain();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], (test::ShownMessage{text("LayoutComplete"), end}));
    EXPECT_EQ(desktopKeys(), keys);
    EXPECT_FALSE(manager().workspaceRunning());
  }
  /// The record the layout manager holds for the window.
  AutoLayoutModelPtr recordOf(const AXUIElement& window) {
    const auto held = itemOf(window);
    return held ? held->layoutModel() : nullptr;
  }
};

void expectTimes(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-6) << "entry " << i;
}

TEST_F(WorkspaceRestoreTest, TwoItemsAreRestoredInOrderAfterEveryDesktopWasVisited) {
  scriptApp("org.example.Editor");
  scriptApp("org.example.Terminal", "/usr/bin/xterm");
  const auto group = workspace({workspaceItem("org.example.Editor", 2, CGRectMake(0, 0, 0.5, 1)),
                                workspaceItem("org.example.Terminal", 1, CGRectMake(0.5, 0, 0.5, 1), "/usr/bin/xterm",
                                              "-e top")});
  ASSERT_EQ(now(), 0);
  manager().layoutWorkspace(*group);
  EXPECT_TRUE(manager().workspaceRunning());
  drain();
  EXPECT_EQ(messages, (Messages{{text("StartLayoutSpaces"), 0}}));

  // Desktops 1 to 3 were never shown: Control+2, +3, +4, a second apart after the message's second.
  advanceTo(0.99);
  EXPECT_TRUE(desktopKeys().empty());
  advanceTo(1.0);
  EXPECT_EQ(desktopKeys(), (Keys{19}));
  advanceTo(3.0);
  EXPECT_EQ(desktopKeys(), (Keys{19, 20, 21}));
  // Then one switch to the first item's desktop (position 3), and its application is launched.
  advanceTo(4.0);
  EXPECT_EQ(desktopKeys(), (Keys{19, 20, 21, 20}));
  expectTimes(launchTimes(), {4.0});

  // Its window shows up focused at 4.7, is taken at 5.0, moved to its desktop at 5.3 and framed at 6.3.
  advanceTo(6.29);
  const auto editor = windowsOfBundle("org.example.Editor");
  ASSERT_EQ(editor.size(), 1u);
  EXPECT_EQ(frameOf(editor[0]), CGRectMake(50, 60, 400, 300));
  advanceTo(6.3);
  EXPECT_EQ(frameOf(editor[0]), CGRectMake(0, 23, 720, 877));

  // The second item is launched through the open tool with its parameters as separate arguments.
  ASSERT_EQ(launcher().launches().size(), 2u);
  EXPECT_EQ(launcher().launches()[0], (LaunchRequest{LaunchTarget::bundleIdentifier, "org.example.Editor", {}, false}));
  EXPECT_EQ(launcher().launches()[1], (LaunchRequest{LaunchTarget::path, "/usr/bin/xterm", {"-e", "top"}, true}));
  expectTimes(launchTimes(), {4.0, 6.3});

  advanceTo(7.59);
  const auto terminal = windowsOfBundle("org.example.Terminal");
  ASSERT_EQ(terminal.size(), 1u);
  EXPECT_TRUE(isShown(terminal[0]));  // opened on the desktop shown now
  advanceTo(7.6);                     // 0.3 s after it was taken at 7.3: off to desktop 1
  EXPECT_FALSE(isShown(terminal[0]));
  EXPECT_EQ(frameOf(terminal[0]), CGRectMake(50, 60, 400, 300));
  advanceTo(8.59);
  EXPECT_TRUE(manager().workspaceRunning());
  EXPECT_EQ(messages.size(), 1u);
  advanceTo(8.6);
  EXPECT_EQ(frameOf(terminal[0]), CGRectMake(720, 23, 720, 877));
  EXPECT_FALSE(manager().workspaceRunning());
  drain();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text, text("LayoutComplete"));
  EXPECT_NEAR(messages[1].time, 8.6, 1e-6);

  // Each placement is remembered as the target's fractions.
  ASSERT_TRUE(recordOf(editor[0]));
  EXPECT_EQ(test::fractionsOf(*recordOf(editor[0])), CGRectMake(0, 0, 0.5, 1));
  ASSERT_TRUE(recordOf(terminal[0]));
  EXPECT_EQ(test::fractionsOf(*recordOf(terminal[0])), CGRectMake(0.5, 0, 0.5, 1));
  EXPECT_EQ(logLines("start operation").size(), 2u);
  EXPECT_EQ(logLines("operation over").size(), 2u);
  EXPECT_EQ(logLines("end operation").size(), 2u);
  advance(10);
  EXPECT_EQ(desktopKeys().size(), 4u);
  EXPECT_EQ(launcher().launches().size(), 2u);
}

TEST_F(WorkspaceRestoreTest, WithEveryDesktopVisitedTheVisitTakesHalfASecondAndPostsNoKeys) {
  showPositions({2, 3, 4});
  expectEmptyRestoreTakes(1.5, {});
}

TEST_F(WorkspaceRestoreTest, DesktopsBeyondTheTenthHaveNoKeyButTakeTheirSecond) {
  // Desktops 2 and 11 of twelve left unseen.
  for (int i = 0; i < 8; ++i) sim().addSpace();
  ScreenManager::shared().reloadScreens();
  showPositions({2, 4, 5, 6, 7, 8, 9, 10, 11});
  expectEmptyRestoreTakes(3.0, {20});
}

TEST_F(WorkspaceRestoreTest, AnApplicationThatNeverShowsAWindowIsGivenUpAndTheNextItemStillRestored) {
  // A window of another application was created since start-up: the wait must still end.
  const pid_t other = apps().launchApplication({.bundleIdentifier = "org.example.Other"});
  advance(1.1);
  apps().createWindow(other, {});
  drain();
  ASSERT_TRUE(ApplicationManager::shared().lastCreatedWindow());
  apps().clearRequests();
  launcher().script("org.example.Ghost", {.application = {.bundleIdentifier = "org.example.Ghost"},
                                          .opensWindow = false});
  scriptApp("org.example.Editor");
  const double start = now();
  manager().layoutWorkspace(*workspace({workspaceItem("org.example.Ghost", 0, CGRectMake(0, 0, 1, 1)),
                                        workspaceItem("org.example.Editor", 0, CGRectMake(0, 0, 0.5, 1))}));
  // Desktops 1 to 3 are visited first (until 4.0); the ghost is launched at 4.0, then once a second.
  advanceTo(start + 9.99);
  expectTimes(launchTimes(), {start + 4, start + 5, start + 6, start + 7, start + 8, start + 9});
  EXPECT_EQ(messages.size(), 1u);
  advanceTo(start + 10.0);
  drain();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text, text("CanNotOpen") + " org.example.Ghost");
  EXPECT_NEAR(messages[1].time - start, 10.0, 1e-6);
  EXPECT_TRUE(apps().requests().empty());  // nothing moved
  EXPECT_TRUE(logLines("end operation").empty());

  ASSERT_EQ(launcher().launches().size(), 7u);
  EXPECT_EQ(launcher().launches()[6].application, "org.example.Editor");
  advance(3);
  const auto editor = windowsOfBundle("org.example.Editor");
  ASSERT_EQ(editor.size(), 1u);
  EXPECT_EQ(frameOf(editor[0]), CGRectMake(0, 23, 720, 877));
  EXPECT_EQ(messages.back().text, text("LayoutComplete"));
}

TEST_F(WorkspaceRestoreTest, ARunningApplicationsFocusedWindowIsTakenAfterOneLaunch) {
  const pid_t pid = apps().launchApplication({.bundleIdentifier = "org.example.Editor"});
  advance(1.1);
  const AXUIElement window = apps().createWindow(pid, {.frame = CGRectMake(10, 10, 300, 200)});
  apps().focusWindow(window);
  drain();
  launcher().script("org.example.Editor", {.application = {.bundleIdentifier = "org.example.Editor"}});
  const double start = now();
  manager().layoutWorkspace(*workspace({workspaceItem("org.example.Editor", 0, CGRectMake(0, 0, 1, 1))}));
  // Three desktops visited (until 4.0), a switch back to desktop 0, one launch, the window taken at 5.0.
  advanceTo(start + 6.29);
  expectTimes(launchTimes(), {start + 4.0});
  EXPECT_EQ(frameOf(window), CGRectMake(10, 10, 300, 200));
  advanceTo(start + 6.3);
  EXPECT_EQ(frameOf(window), CGRectMake(0, 23, 1440, 877));
  EXPECT_TRUE(isShown(window));
  EXPECT_EQ(launcher().launches().size(), 1u);
}

TEST_F(WorkspaceRestoreTest, GapsShrinkTheWindowButTheTargetIsRemembered) {
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  const AXUIElement window = admitWindow({.frame = CGRectMake(10, 10, 300, 200)});
  apps().focusWindow(window);
  advance(3);
  apps().clearRequests();

  manager().workspaceOperationQueue().addOperation(std::make_shared<WorkspaceItemLayoutOperation>(
      CGRectMake(100, 200, 800, 600), 0, "org.example.Editor", "", ""));
  advance(2.4);
  EXPECT_EQ(frameOf(window), CGRectMake(108, 208, 784, 584));
  const auto& requests = apps().requests();
  ASSERT_GE(requests.size(), 3u);
  EXPECT_EQ(requests[0].kind, sim::SimWindowRequest::Kind::size);
  EXPECT_EQ(requests[1].kind, sim::SimWindowRequest::Kind::position);
  EXPECT_EQ(requests[2].kind, sim::SimWindowRequest::Kind::size);
  ASSERT_TRUE(recordOf(window));
  EXPECT_EQ(test::fractionsOf(*recordOf(window)),
            TransformUtils::ratio(CGRectMake(100, 200, 800, 600), CGRectMake(0, 0, 1440, 877)));
}

TEST_F(WorkspaceRestoreTest, TwoRestoresEachKeepRecordingPausedUntilTheirOwnEnd) {
  manager().layoutWorkspace(*workspace({}));
  manager().layoutWorkspace(*workspace({}));
  // Each empty restore: message, 1 s, three desktops to visit for the first (3 s), 0.5 s for the second.
  advanceTo(4.0);
  drain();
  ASSERT_EQ(messages.size(), 3u);  // the first one's closing message, the second one's opening message
  EXPECT_EQ(messages[1].text, text("LayoutComplete"));
  EXPECT_EQ(messages[2].text, text("StartLayoutSpaces"));
  EXPECT_TRUE(manager().workspaceRunning());
  // A window admitted now is not moved.
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  const AXUIElement window = admitWindow({.frame = CGRectMake(10, 10, 300, 200)});
  drain();
  EXPECT_EQ(frameOf(window), CGRectMake(10, 10, 300, 200));
  advanceTo(5.49);
  EXPECT_TRUE(manager().workspaceRunning());
  advanceTo(5.5);
  EXPECT_FALSE(manager().workspaceRunning());
}

TEST(WorkspaceItemParameters, SplitAtEachBlankKeepingEmptyWords) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(WorkspaceItemLayoutOperation::parameterWords(""), Words{});
  EXPECT_EQ(WorkspaceItemLayoutOperation::parameterWords("a"), Words{"a"});
  EXPECT_EQ(WorkspaceItemLayoutOperation::parameterWords("-e  top "), (Words{"-e", "", "top", ""}));
}

}  // namespace
}  // namespace tilvane
