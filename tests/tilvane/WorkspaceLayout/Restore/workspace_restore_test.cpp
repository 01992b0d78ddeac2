#include <gtest/gtest.h>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "UI/HUD/VkHUD.h"
#include "WorkspaceLayout/Restore/WindowAssignment.h"
#include "WorkspaceLayout/Restore/WorkspaceItemLayoutOperation.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/sim/SimLauncher.h"
#include "platform/l10n/Localization.h"
#include "support/windows/LauncherByHand.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/WorkspaceLayout/WorkspaceItem.h"

namespace tilvane {
namespace {

using Keys = std::vector<int>;
using Kind = sim::SimWindowRequest::Kind;
using test::workspaceItem;

// Messages are shown in the user's language.
std::string text(const std::string& key) { return NSLocalizedString(key); }

// Four shared desktops and the managers started; the message window has no view.
class WorkspaceRestoreTest : public test::WindowWorld {
 protected:
  WorkspaceRestoreTest() : WindowWorld(4) {
    startManagers();
    drain();
  }
  /// The last message the message window was given.
  static std::string shown() { return VkHUD::shared().text(); }
  LayoutManager& manager() { return LayoutManager::shared(); }
  sim::SimLauncher& launcher() { return sim().simLauncher(); }
  double now() { return loop().elapsed(); }
  /// Advances the clock to `t` seconds after the test began.
  void advanceTo(double t) { advance(t - now()); }
  /// Scripts `bundle` to start 0.2 s after a launch (by `key`, default the bundle) and show a window 0.5 s later.
  void scriptApp(const std::string& bundle, const std::string& key = {}) {
    launcher().script(key.empty() ? bundle : key, {.application = {.bundleIdentifier = bundle},
                                                   .window = {.frame = CGRectMake(50, 60, 400, 300)},
                                                   .startDelay = 0.2,
                                                   .windowDelay = 0.5});
  }
  void restore(const std::vector<WorkspaceLayoutItemModelPtr>& items) {
    WorkspaceLayoutGroupModel group;
    group.setItems(items);
    manager().layoutWorkspace(group);
  }
  std::size_t launches() { return launcher().launches().size(); }
  /// The windows of every process of `bundle`, in the order the processes started.
  std::vector<AXUIElement> windowsOf(const std::string& bundle) {
    std::vector<AXUIElement> windows;
    for (const NSRunningApplication& app : apps().runningApplications())
      if (app.bundleIdentifier == bundle)
        for (const AXUIElement& w : apps().windowsOf(app.processIdentifier)) windows.push_back(w);
    return windows;
  }
  /// Restores an item of "Tilvaneclock" on the right half while a window of "TilvaneClock" runs: where that
  /// window ends.
  CGRect restoredClock() {
    const AXUIElement running = admitWindow({.frame = CGRectMake(10, 10, 300, 200)}, "TilvaneClock");
    advance(3);
    restore({workspaceItem("Tilvaneclock", 0, CGRectMake(0.5, 0, 0.5, 1))});
    advance(30);
    drain();
    return frameOf(running);
  }
  /// The key codes of the Control key-downs posted so far, in order.
  Keys desktopKeys() {
    Keys keys;
    for (const sim::PostedEvent& posted : sim().postedEvents())
      if (posted.event.type == CGEventType::keyDown && posted.event.flags == kCGEventFlagMaskControl)
        keys.push_back(posted.event.keyCode);
    return keys;
  }
  CGRect remembered(const AXUIElement& w) { return test::fractionsOf(*itemOf(w)->layoutModel()); }
  /// Restores an empty workspace with desktops at these positions already shown: the closing message comes
  /// `end` s later, after these desktop keys.
  void expectEmptyRestoreTakes(std::initializer_list<int> seen, double end, const Keys& keys) {
    for (int position : seen) {
      sim().switchToSpaceAtPosition(position);
      drain();
    }
    sim().clearPostedEvents();
    restore({});
    advanceTo(end - 0.01);
    EXPECT_EQ(shown(), text("StartLayoutSpaces"));
    advanceTo(end);
    drain();
    EXPECT_EQ(shown(), text("LayoutComplete"));
    EXPECT_EQ(desktopKeys(), keys);
    EXPECT_FALSE(manager().workspaceRunning());
  }
};

TEST_F(WorkspaceRestoreTest, ItemsAreRestoredInOrderAfterEveryDesktopWasVisited) {
  scriptApp("org.example.Editor");
  scriptApp("org.example.Terminal", "/usr/bin/xterm");
  const auto items = {
      workspaceItem("org.example.Editor", 2, CGRectMake(0, 0, 0.5, 1)),
      workspaceItem("org.example.Terminal", 1, CGRectMake(0.5, 0, 0.5, 1), "/usr/bin/xterm", "-e top")};
  restore(items);
  drain();
  EXPECT_EQ(shown(), text("StartLayoutSpaces"));

  // Desktops 1 to 3 were never shown: Control+2, +3, +4, a second apart after the message's second; then one
  // switch to the first item's desktop (position 3), and its application is launched.
  advanceTo(0.99);
  EXPECT_TRUE(desktopKeys().empty());
  advanceTo(1.0);
  EXPECT_EQ(desktopKeys(), (Keys{19}));
  advanceTo(3.99);
  EXPECT_EQ(desktopKeys(), (Keys{19, 20, 21}));
  EXPECT_EQ(launches(), 0u);
  advanceTo(4.0);
  EXPECT_EQ(desktopKeys(), (Keys{19, 20, 21, 20}));
  EXPECT_EQ(launches(), 1u);

  // Its window shows up focused at 4.7, is taken (and sent to its desktop) at 5.0, focused there at 5.3 and
  // framed at 6.3.
  advanceTo(6.29);
  const AXUIElement editor = apps().focusedWindow().value();
  EXPECT_EQ(frameOf(editor), CGRectMake(50, 60, 400, 300));
  EXPECT_EQ(launches(), 1u);
  advanceTo(6.3);
  EXPECT_EQ(frameOf(editor), CGRectMake(0, 23, 720, 877));
  // Only then the second item is launched, through the open tool with its parameters as separate arguments.
  // Each launch carries its item's mark.
  EXPECT_EQ(launcher().launches(),
            (std::vector<LaunchRequest>{
                {LaunchTarget::bundleIdentifier, "org.example.Editor", {}, false, false, {}, items.begin()[0]->id()},
                {LaunchTarget::path, "/usr/bin/xterm", {"-e", "top"}, true, false, {}, items.begin()[1]->id()}}));

  advanceTo(7.29);
  const AXUIElement terminal = apps().focusedWindow().value();
  EXPECT_TRUE(isShown(terminal));  // opened on the desktop shown now
  advanceTo(7.3);                     // taken: off to desktop 1 first
  EXPECT_FALSE(isShown(terminal));
  advanceTo(7.59);
  EXPECT_EQ(desktopKeys(), (Keys{19, 20, 21, 20}));
  advanceTo(7.6);  // 0.3 s later its desktop is shown and it is focused there: the restore ends with it
  EXPECT_EQ(desktopKeys(), (Keys{19, 20, 21, 20, 19}));
  EXPECT_TRUE(isShown(terminal));
  advanceTo(8.59);
  EXPECT_EQ(frameOf(terminal), CGRectMake(50, 60, 400, 300));
  EXPECT_TRUE(manager().workspaceRunning());
  EXPECT_EQ(shown(), text("StartLayoutSpaces"));
  advanceTo(8.6);
  EXPECT_EQ(frameOf(terminal), CGRectMake(720, 23, 720, 877));
  EXPECT_FALSE(manager().workspaceRunning());
  drain();
  EXPECT_EQ(shown(), text("LayoutComplete"));
  // Each placement is remembered as the target's fractions; nothing runs again.
  EXPECT_EQ(remembered(editor), CGRectMake(0, 0, 0.5, 1));
  EXPECT_EQ(remembered(terminal), CGRectMake(0.5, 0, 0.5, 1));
  advance(10);
  EXPECT_EQ(desktopKeys().size(), 5u);
  EXPECT_EQ(launches(), 2u);
}

TEST_F(WorkspaceRestoreTest, TwoItemsOfOneApplicationComeBackAsTwoWindows) {
  scriptApp("org.example.Terminal");
  const auto items = {workspaceItem("org.example.Terminal", 0, CGRectMake(0, 0, 0.5, 1)),
                      workspaceItem("org.example.Terminal", 1, CGRectMake(0.5, 0, 0.5, 1))};
  restore(items);
  // The first item starts the terminal (4.0) and places its window (6.3). The second does not take that
  // window again: its launch passes over it, so a new instance starts, whose window shows at 7.0 and is placed
  // at 8.6.
  advanceTo(6.3);
  ASSERT_EQ(windowsOf("org.example.Terminal").size(), 1u);
  const AXUIElement first = windowsOf("org.example.Terminal")[0];
  EXPECT_EQ(frameOf(first), CGRectMake(0, 23, 720, 877));
  advanceTo(8.6);
  drain();
  EXPECT_EQ(shown(), text("LayoutComplete"));
  const auto windows = windowsOf("org.example.Terminal");
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0], first);
  EXPECT_EQ(frameOf(first), CGRectMake(0, 23, 720, 877));
  EXPECT_EQ(frameOf(windows[1]), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(launcher().launches(),
            (std::vector<LaunchRequest>{
                {LaunchTarget::bundleIdentifier, "org.example.Terminal", {}, false, false, {}, items.begin()[0]->id()},
                {LaunchTarget::bundleIdentifier, "org.example.Terminal", {}, false, true, {first},
                 items.begin()[1]->id()}}));
  EXPECT_TRUE(shownOn(first, 0));
  EXPECT_FALSE(shownOn(windows[1], 0));
  EXPECT_TRUE(shownOn(windows[1], 1));
}

TEST_F(WorkspaceRestoreTest, ARunningWindowServesTheNearestItemAndEachFurtherItemStartsAnInstanceOfItsOwn) {
  const AXUIElement running = admitWindow({.frame = CGRectMake(10, 10, 300, 200)}, "org.example.Terminal");
  advance(3);
  launcher().script("org.example.Terminal", {.application = {.bundleIdentifier = "org.example.Terminal"},
                                             .window = {.frame = CGRectMake(50, 60, 400, 300)},
                                             .startDelay = 0.2,
                                             .windowDelay = 1.5});  // slower than an attempt
  // The running window is nearer the third item's place than the first's; parameters never take it.
  restore({workspaceItem("org.example.Terminal", 0, CGRectMake(0, 0, 0.5, 1)),
           workspaceItem("org.example.Terminal", 0, CGRectMake(0.5, 0, 0.5, 1), {}, "-e top"),
           workspaceItem("org.example.Terminal", 0, CGRectMake(0, 0, 0.5, 0.5))});
  advance(30);
  drain();
  EXPECT_EQ(shown(), text("LayoutComplete"));
  const auto windows = windowsOf("org.example.Terminal");
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0], running);
  EXPECT_EQ(frameOf(running), CGRectMake(0, 23, 720, 438.5));
  EXPECT_EQ(frameOf(windows[1]), CGRectMake(0, 23, 720, 877));
  EXPECT_EQ(frameOf(windows[2]), CGRectMake(720, 23, 720, 877));
  // The first two items asked once each for a new instance (the parameters' through the open tool's "-n"),
  // waiting for it; the third brought the running window forward.
  std::vector<bool> newInstance;
  for (const LaunchRequest& request : launcher().launches()) newInstance.push_back(request.newInstance);
  EXPECT_EQ(newInstance, (std::vector<bool>{true, true}));
  EXPECT_EQ(launcher().launches()[1].arguments, (std::vector<std::string>{"-e", "top"}));
}

// An entry known by a class guessed from its program's name ("Tilvaneclock") names the windows that say
// "TilvaneClock"; any other identifier only windows of its own case.
TEST_F(WorkspaceRestoreTest, AnItemTakesTheWindowOfItsApplicationWhoseClassDiffersInCase) {
  ASSERT_EQ(test::addLauncherByHand(tempDir() / "Desktop", "tilvaneclock"), "Tilvaneclock");
  EXPECT_EQ(restoredClock(), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(shown(), text("LayoutComplete"));
  EXPECT_EQ(windowsOf("TilvaneClock").size(), 1u);
}

TEST_F(WorkspaceRestoreTest, AnItemLeavesTheWindowOfAnotherApplicationWhoseIdentifierDiffersInCase) {
  EXPECT_EQ(restoredClock(), CGRectMake(10, 10, 300, 200));
}

TEST_F(WorkspaceRestoreTest, AnItemWithParametersWhoseWindowIsSlowStartsOneProcess) {
  launcher().script("org.example.Terminal", {.application = {.bundleIdentifier = "org.example.Terminal"},
                                             .window = {.frame = CGRectMake(50, 60, 400, 300)},
                                             .windowDelay = 2.5});  // two attempts find no window of it
  restore({workspaceItem("org.example.Terminal", 0, CGRectMake(0.5, 0, 0.5, 1), {}, "-e top")});
  advance(30);
  EXPECT_EQ(launches(), 1u);
  const auto windows = windowsOf("org.example.Terminal");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(frameOf(windows[0]), CGRectMake(720, 23, 720, 877));
}

TEST_F(WorkspaceRestoreTest, AnItemTakesTheSlowWindowItsLaunchShowsWhateverItIsCalled) {
  launcher().script("/opt/wrapper", {.application = {.bundleIdentifier = "XTerm"},
                                     .window = {.frame = CGRectMake(50, 60, 400, 300)},
                                     .windowDelay = 2.5});
  restore({workspaceItem("org.example.Wrapper", 0, CGRectMake(0.5, 0, 0.5, 1), "/opt/wrapper", "-e top")});
  advance(30);
  const auto windows = windowsOf("XTerm");
  ASSERT_EQ(windows.size(), 1u);  // of the one process started
  EXPECT_EQ(frameOf(windows[0]), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(shown(), text("LayoutComplete"));
}

TEST_F(WorkspaceRestoreTest, WithEveryDesktopVisitedTheVisitTakesHalfASecondAndPostsNoKeys) {
  expectEmptyRestoreTakes({2, 3, 4}, 1.5, {});
}

TEST_F(WorkspaceRestoreTest, DesktopsBeyondTheTenthHaveNoKeyButTakeTheirSecond) {
  for (int i = 0; i < 8; ++i) sim().addSpace();
  ScreenManager::shared().reloadScreens();
  // Desktops 2 and 11 of twelve unseen; the visit ends back on the user's desktop (position 2).
  expectEmptyRestoreTakes({4, 5, 6, 7, 8, 9, 10, 11, 2}, 3.0, {20, 19});
}

TEST_F(WorkspaceRestoreTest, AnApplicationThatNeverShowsAWindowIsGivenUpAndTheNextItemStillRestored) {
  // A window of another application was created since start-up: the wait must still end.
  const pid_t other = apps().launchApplication({.bundleIdentifier = "org.example.Other"});
  advance(1.1);
  apps().createWindow(other, {});
  drain();
  ASSERT_TRUE(ApplicationManager::shared().lastCreatedWindow());
  apps().clearRequests();
  launcher().script("org.example.Ghost",
                    {.application = {.bundleIdentifier = "org.example.Ghost"}, .opensWindow = false});
  scriptApp("org.example.Editor");
  const double start = now();
  restore({workspaceItem("org.example.Ghost", 0, CGRectMake(0, 0, 1, 1)),
           workspaceItem("org.example.Editor", 0, CGRectMake(0, 0, 0.5, 1))});
  // After the visits (until 4.0) the ghost is launched once, waited for, and given up at 10.0.
  advanceTo(start + 4.99);
  EXPECT_EQ(launches(), 1u);
  advanceTo(start + 9.99);
  EXPECT_EQ(launches(), 1u);
  EXPECT_EQ(shown(), text("StartLayoutSpaces"));
  advanceTo(start + 10.0);
  drain();
  EXPECT_EQ(shown(), text("CanNotOpen") + " org.example.Ghost");
  EXPECT_TRUE(apps().requests().empty());  // nothing moved
  advance(3);
  EXPECT_EQ(frameOf(apps().focusedWindow().value()), CGRectMake(0, 23, 720, 877));  // the editor's
  // The end says what was left out, in the message and the log: the item's own message is long covered.
  EXPECT_EQ(shown(), text("LayoutComplete") + ". " + text("WorkspaceSkipped") + " org.example.Ghost");
  EXPECT_EQ(log.count("⚠️ workspace restored without: org.example.Ghost"), 1u);
  EXPECT_EQ(log.count("⚠️ workspace item skipped: org.example.Ghost (org.example.Ghost) showed no window"), 1u);
}

TEST_F(WorkspaceRestoreTest, AStartThatCannotRunIsTriedAgainAtEachAttemptThenGivenUp) {
  launcher().script("org.example.Broken",
                    {.application = {.bundleIdentifier = "org.example.Broken"}, .starts = false});
  restore({workspaceItem("org.example.Broken", 0, CGRectMake(0, 0, 1, 1))});
  advance(30);
  drain();
  EXPECT_EQ(launches(), 6u);
  EXPECT_EQ(shown(), text("LayoutComplete") + ". " + text("WorkspaceSkipped") + " org.example.Broken");
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
  EXPECT_EQ(requests(), (std::vector<Request>{{Kind::size, 784, 584}, {Kind::position, 108, 208},
                                              {Kind::size, 784, 584}}));
  const RecordedPlace place = recordedPlaceOf(*itemOf(window)->layoutModel());
  EXPECT_EQ(askedFrame(place, CGRectMake(0, 0, 1440, 877)), CGRectMake(100, 200, 800, 600));
}

TEST_F(WorkspaceRestoreTest, TwoRestoresEachKeepRecordingPausedUntilTheirOwnEnd) {
  restore({});
  restore({});
  // Each empty restore: message, 1 s, three desktops to visit for the first (3 s), 0.5 s for the second.
  advanceTo(4.0);
  drain();
  EXPECT_EQ(shown(), text("StartLayoutSpaces"));  // the second one's, after the first one's end
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

TEST_F(WorkspaceRestoreTest, AClosedWindowIsNeverTakenAndItsProcessStartsAgainOnceItShowedOne) {
  scriptApp("org.example.Terminal");
  const auto item = workspaceItem("org.example.Terminal", 0, CGRectMake(0.5, 0, 0.5, 1), {}, "-e top");
  restore({item});
  advanceTo(6.3);  // started at 4.0, placed
  ASSERT_EQ(windowsOf("org.example.Terminal").size(), 1u);
  // Its window closed, its process still running: a restore right after starts another, whose window it places.
  apps().closeWindow(windowsOf("org.example.Terminal")[0]);
  advance(0.5);
  restore({item});
  advance(30);
  const auto windows = windowsOf("org.example.Terminal");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(frameOf(windows[0]), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(shown(), text("LayoutComplete"));
}

// Whatever the item's program starts carries its launch's mark too: the window of the process that showed its
// launch's window is the item's, kept with the stored item; once that window is closed, the item starts again.
TEST_F(WorkspaceRestoreTest, AProgramRunFromTheItemsWindowIsNotTakenForIt) {
  launcher().script("/opt/term", {.application = {.bundleIdentifier = "XTerm"},
                                  .window = {.frame = CGRectMake(50, 60, 400, 300)}});
  // Restored from the store, as the tray does: nothing else holds the item.
  const auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  group->setItems({workspaceItem("org.example.Term", 0, CGRectMake(0.5, 0, 0.5, 1), "/opt/term")});
  const auto database = StoreService::shared().database();
  database->write([&] { database->add(group); });
  const std::string id = group->items()[0]->id();
  const auto restore = [&] { manager().layoutWorkspace(*group); };
  restore();
  advance(30);
  ASSERT_EQ(windowsOf("XTerm").size(), 1u);
  const AXUIElement term = windowsOf("XTerm")[0];
  const std::string kept = group->items()[0]->launchProcess();
  EXPECT_EQ(kept.rfind(std::to_string(term.pid) + " ", 0), 0u) << kept;
  const pid_t browser = apps().launchApplication({.bundleIdentifier = "org.example.Browser", .mark = id});
  advance(1);
  const AXUIElement page = apps().createWindow(browser, {.frame = CGRectMake(10, 10, 300, 200)});
  apps().userMoveWindow(term, CGRectMake(10, 10, 300, 200));
  advance(3);
  restore();
  advance(30);
  EXPECT_EQ(launches(), 1u);
  EXPECT_EQ(frameOf(term), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(frameOf(page), CGRectMake(10, 10, 300, 200));
  apps().closeWindow(term);
  restore();
  advance(30);
  EXPECT_EQ(launches(), 2u);
  EXPECT_EQ(frameOf(page), CGRectMake(10, 10, 300, 200));
  ASSERT_EQ(windowsOf("XTerm").size(), 1u);
  EXPECT_EQ(frameOf(windowsOf("XTerm")[0]), CGRectMake(720, 23, 720, 877));
}

// A program slow to show its window: the restore gives the item up, and the next one, asked for while the program
// still starts, waits for that launch's window rather than starting another; once nothing of the launch runs,
// it starts the item again.
TEST_F(WorkspaceRestoreTest, ALaunchGivenUpIsWaitedForByTheNextRestoreWhileItRuns) {
  const auto quitTerminals = [&] {
    for (const NSRunningApplication& app : apps().runningApplications())
      if (app.bundleIdentifier == "XTerm") apps().quitApplication(app.processIdentifier);
  };
  const struct {
    const char* how;
    bool ended;
    std::size_t launches;
  } cases[] = {{"still starting", false, 1}, {"ended without a window", true, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    launcher().clearLaunches();
    launcher().script("/opt/slow", {.application = {.bundleIdentifier = "XTerm"},
                                    .window = {.frame = CGRectMake(50, 60, 400, 300)},
                                    .windowDelay = 8.0});
    const auto group = std::make_shared<WorkspaceLayoutGroupModel>();
    group->setItems({workspaceItem("org.example.Slow", 0, CGRectMake(0.5, 0, 0.5, 1), "/opt/slow")});
    const auto finish = [&] {
      manager().layoutWorkspace(*group);
      advance(0.1);
      while (manager().workspaceRunning()) advance(0.1);
    };
    finish();
    EXPECT_EQ(shown(), text("LayoutComplete") + ". " + text("WorkspaceSkipped") + " slow");
    EXPECT_TRUE(windowsOf("XTerm").empty());
    if (c.ended) {
      quitTerminals();
      launcher().script("/opt/slow", {.application = {.bundleIdentifier = "XTerm"}});
    }
    finish();
    EXPECT_EQ(shown(), text("LayoutComplete"));
    EXPECT_EQ(launches(), c.launches);
    const auto windows = windowsOf("XTerm");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(frameOf(windows[0]), CGRectMake(720, 23, 720, 877));
    EXPECT_EQ(group->items()[0]->launchProcess().rfind(std::to_string(windows[0].pid) + " ", 0), 0u);
    quitTerminals();
    drain();
  }
}

// A window a restore placed that closes before the restores end was never where the user wanted it: its record
// goes back to what it held.
TEST_F(WorkspaceRestoreTest, AWindowPlacedAndClosedBeforeTheRestoresEndLeavesItsRecordAsItWas) {
  storeRecord("org.example.Editor", 0, CGRectMake(0, 0, 0.5, 0.5));
  const AXUIElement editor = admitWindow({.frame = CGRectMake(10, 10, 300, 200)});
  advance(3);
  launcher().script("org.example.Ghost",
                    {.application = {.bundleIdentifier = "org.example.Ghost"}, .opensWindow = false});
  restore({workspaceItem("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1)),
           workspaceItem("org.example.Ghost", 0, CGRectMake(0, 0, 1, 1))});
  advance(7.0);  // placed at 6.3, the ghost waited for until 13.0
  ASSERT_EQ(remembered(editor), CGRectMake(0.5, 0, 0.5, 1));
  apps().closeWindow(editor);
  drain();
  ASSERT_TRUE(manager().workspaceRunning());
  advance(30);
  ASSERT_EQ(records().size(), 1u);
  EXPECT_EQ(test::fractionsOf(*records()[0]), CGRectMake(0, 0, 0.5, 0.5));
}

// The item's loading window (of a process the launch's script started in its session) closes: the launch's next
// window takes its place only once the loading window's process has ended, also one shown before the close was
// known.
TEST_F(WorkspaceRestoreTest, ALoadingWindowHandsOverOnlyOnceItsProcessEnded) {
  const struct {
    const char* how;
    bool ended, mainFirst;
  } cases[] = {{"its process ended", true, false},
               {"its process still runs", false, false},
               {"the main window shown before the loading window closed", true, true}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.how);
    const auto item = workspaceItem("org.example.Splash", 0, CGRectMake(0.5, 0, 0.5, 1), "/opt/loader");
    const pid_t script = apps().addApplication({.bundleIdentifier = "org.example.Shell", .mark = item->id()});
    launcher().script("/opt/loader", {.application = {.bundleIdentifier = "org.example.Splash", .session = script},
                                      .window = {.frame = CGRectMake(50, 60, 400, 300)}});
    restore({item});
    advance(30);
    ASSERT_EQ(windowsOf("org.example.Splash").size(), 1u);
    const AXUIElement splash = windowsOf("org.example.Splash")[0];
    // An application of its own each time: nothing it remembers places its window.
    const pid_t main = apps().launchApplication({.bundleIdentifier = "org.example.Main" + std::to_string(i),
                                                 .mark = item->id(),
                                                 .parent = script,
                                                 .session = script});
    std::optional<AXUIElement> window;
    if (c.mainFirst) window = apps().createWindow(main, {.frame = CGRectMake(10, 10, 300, 200)});
    apps().closeWindow(splash);
    if (c.ended) apps().quitApplication(splash.pid);
    advance(0.5);
    if (!window) window = apps().createWindow(main, {.frame = CGRectMake(10, 10, 300, 200)});
    advance(3);
    EXPECT_EQ(frameOf(*window), c.ended ? CGRectMake(720, 23, 720, 877) : CGRectMake(10, 10, 300, 200));
    for (const pid_t pid : {splash.pid, main, script}) apps().quitApplication(pid);
    drain();
  }
}

TEST(WindowAssignment, AWindowOnAPlaceKeepsItAndTheOthersGoToTheNearestFreePlace) {
  using Served = std::vector<std::optional<std::size_t>>;
  const WindowSpot a{CGRectMake(40, 60, 400, 300), 0}, b{CGRectMake(420, 200, 400, 300), 0},
      far{CGRectMake(900, 500, 400, 300), 0}, elsewhere{CGRectMake(40, 60, 400, 300), 2};
  const struct {
    const char* what;
    std::vector<WindowSpot> windows, places;
    Served served;
  } cases[] = {
      {"each window on a place, listed in another order", {a, b, far}, {far, a, b}, {2, 0, 1}},
      {"a window near the second place", {{CGRectMake(880, 480, 420, 320), 0}}, {a, far}, {std::nullopt, 0}},
      {"more windows than places", {a, b, far}, {{CGRectMake(400, 190, 400, 300), 0}}, {1}},
      {"on the place, but on another desktop", {elsewhere, b}, {a}, {1}},
      {"two places alike: the earlier one", {b}, {a, a}, {0, std::nullopt}},
      {"no window", {}, {a}, {std::nullopt}},
  };
  for (const auto& t : cases) EXPECT_EQ(assignWindows(t.windows, t.places), t.served) << t.what;
}

TEST(WorkspaceItemParameters, SplitAtEachBlankKeepingEmptyWords) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(WorkspaceItemLayoutOperation::parameterWords(""), Words{});
  EXPECT_EQ(WorkspaceItemLayoutOperation::parameterWords("a"), Words{"a"});
  EXPECT_EQ(WorkspaceItemLayoutOperation::parameterWords("-e  top "), (Words{"-e", "", "top", ""}));
}

}  // namespace
}  // namespace tilvane
