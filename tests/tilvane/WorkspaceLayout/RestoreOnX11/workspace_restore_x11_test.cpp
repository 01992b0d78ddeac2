// A saved workspace of two real windows restored on the test desktop (one 1920x1080 monitor, visible frame
// (0, 0, 1920, 1056) in the window space, four desktops): one application runs, the other is only a desktop
// entry and is started by the restore. The restore's own delays run on the virtual clock; between its steps
// the test waits, in real time, for what the X server and the started program do.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include <QApplication>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "RuleLayout/AppRuleList.h"
#include "UI/HUD/QtHUDWindow.h"
#include "UI/HUD/VkHUD.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/desktop/x11/X11Launcher.h"
#include "platform/desktop/x11/e2e/TilvaneOnX11.h"
#include "platform/l10n/Localization.h"
#include "tilvane/WorkspaceLayout/WorkspaceItem.h"

namespace tilvane::test::x11 {
namespace {

constexpr const char* kNotesId = "org.tilvane.TestNotes";
/// Started through a countedLaunch.
constexpr const char* kByNameId = "org.tilvane.ByName";
constexpr XRectangle kLowerRight{960, 528, 960, 528};

/// The Apps pane's open panel, answering with one path.
class PickedPath final : public AppChooser {
 public:
  explicit PickedPath(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> chooseApplication() override { return path_; }

 private:
  std::string path_;
};

class WorkspaceRestoreOnX11Test : public TilvaneOnX11Test {
 protected:
  WorkspaceRestoreOnX11Test() {
    // The entry must exist before the backend first reads the desktop entries.
    const auto folder = tempDir() / "data" / "applications";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / (std::string(kNotesId) + ".desktop"))
        << "[Desktop Entry]\nType=Application\nName=Test Notes\nStartupWMClass=TilvaneNotes\n"
        << "Exec=\"" << TILVANE_TESTCLIENT_PATH << "\" --class notes,TilvaneNotes --title Notes\n";
    std::ofstream(folder / (std::string(kByNameId) + ".desktop"))
        << "[Desktop Entry]\nType=Application\nName=By Name\nStartupWMClass=TilvaneByName\nExec="
        << countedLaunch(std::string("\"") + TILVANE_TESTCLIENT_PATH + "\" --class byname,TilvaneByName") << "\n";
  }

  /// Advances the virtual clock to `t` seconds after `start_`, 50 ms at a time, delivering what X sent between.
  void runUntil(double t) {
    while (loop().elapsed() - start_ < t - 1e-9) {
      advance(std::min(0.05, t - (loop().elapsed() - start_)));
      waitUntil([] { return true; });
    }
  }
  bool focusedIs(const std::string& bundle) {
    const auto window = SIWindow::focusedWindow();
    return window && bundleIdentifierOfWindow(*window) == bundle;
  }
  std::optional<std::uint32_t> windowOf(const std::string& bundle) {
    for (const SIWindow& w : WindowManager::shared().windows())
      if (bundleIdentifierOfWindow(w) == bundle) return w.windowID();
    return std::nullopt;
  }

  /// The processes the restore started, not ended yet.
  std::vector<pid_t> started() {
    return static_cast<tilvane::x11::X11Launcher&>(desktop().launcher()).runningChildren();
  }
  /// Restores `items` and runs the restore to its end. Its clock runs on only once the window manager has handled
  /// what the restore asked of it, and, once it started a process, when `shown` holds: the window manager and a
  /// program starting work in real time, which the restore's clock knows nothing of.
  /// With `evenWithoutChild`, it waits for `shown` also once the process started has ended (it left the program
  /// to a process of its own).
  void restoreAll(const std::vector<WorkspaceLayoutItemModelPtr>& items,
                  const std::function<bool()>& shown = [] { return true; }, bool evenWithoutChild = false) {
    restoreAskedAt(items, {0.0}, shown, evenWithoutChild);
  }
  /// restoreAll, the restore asked for at each of `at` (seconds on the restore's clock), run until the last ends.
  void restoreAskedAt(const std::vector<WorkspaceLayoutItemModelPtr>& items, const std::vector<double>& at,
                      const std::function<bool()>& shown, bool evenWithoutChild = false) {
    auto group = std::make_shared<WorkspaceLayoutGroupModel>();
    group->setItems(items);
    start_ = loop().elapsed();
    std::size_t asked = 0;
    for (int step = 0; step < 1600 && (asked < at.size() || LayoutManager::shared().workspaceRunning()); ++step) {
      for (; asked < at.size() && loop().elapsed() - start_ >= at[asked] - 1e-9; ++asked)
        LayoutManager::shared().layoutWorkspace(*group);
      waitUntil([&] { return (!evenWithoutChild && started().empty()) || shown(); }, 10.0);
      // The window manager has done what the restore asked (a window brought forward) before its clock runs on.
      probe().syncWindowManager();
      catchUp();
      runUntil(loop().elapsed() - start_ + 0.05);
    }
    EXPECT_FALSE(LayoutManager::shared().workspaceRunning());
  }
  /// The windows on the desktop whose application has this bundle identifier, in the desktop's order.
  std::vector<std::uint32_t> windowsOf(const std::string& bundle) {
    std::vector<std::uint32_t> windows;
    for (const std::uint32_t w : probe().clientList())
      if (const auto e = desktop().applications().elementOf(w); e && bundleIdentifierOfWindow(SIWindow(*e)) == bundle)
        windows.push_back(w);
    return windows;
  }
  std::optional<std::uint32_t> titled(const std::string& title) {
    for (const std::uint32_t w : probe().clientList())
      if (probe().text(w, "WM_NAME") == title) return w;
    return std::nullopt;
  }
  /// Whether a terminal's visible frame stands on `rect`: its size short of it by less than a character cell.
  bool standsOn(std::uint32_t window, const XRectangle& rect) {
    return waitUntil([&] {
      const auto f = probe().frameRect(window);
      return f && f->x == rect.x && f->y == rect.y && f->width <= rect.width && f->width > rect.width - 6 &&
             f->height <= rect.height && f->height > rect.height - 13;
    });
  }
  /// Ends the processes the restore started (they belong to no test fixture).
  void endStarted() {
    for (const pid_t pid : started()) ::kill(pid, SIGTERM);
  }
  /// The restore started one process, whose one window of `bundle` (other than `open`) stands on the lower right
  /// quarter; it is ended then, so the next case starts afresh.
  void expectOneStartedOnTheLowerRightThenEnd(const std::string& bundle, std::optional<std::uint32_t> open = {}) {
    EXPECT_EQ(started().size(), 1u);
    auto windows = windowsOf(bundle);
    std::erase(windows, open.value_or(0));
    EXPECT_EQ(windows.size(), 1u);
    for (const std::uint32_t w : windows)
      EXPECT_TRUE(waitUntil([&] { return probe().frameRect(w) == kLowerRight; })) << *probe().frameRect(w);
    endStarted();
    ASSERT_TRUE(waitUntil([&] { return windowsOf(bundle).size() == (open ? 1u : 0u) && started().empty(); }));
    advance(1.0);
  }
  /// A test client started with `args`, once Tilvane manages its window.
  TestClient& managedClient(const std::vector<std::string>& args) {
    TestClient& client = launchClient(args);
    EXPECT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
    advance(1.0);
    EXPECT_TRUE(waitUntil([&] { return managed(client.window()); }));
    return client;
  }
  /// A workspace item of `bundle` whose placement, keeping the gap `gap`, gives the window `window` the frame
  /// it has now.
  WorkspaceLayoutItemModelPtr itemWhereItStands(const std::string& bundle, std::uint32_t window, double gap) {
    const CGRect f = SIWindow(*desktop().applications().elementOf(window)).frame();
    const CGRect target =
        CGRectMake(f.origin.x - gap, f.origin.y - gap, f.size.width + 2 * gap, f.size.height + 2 * gap);
    return workspaceItem(bundle, 0, TransformUtils::ratio(target, ScreenManager::shared().screenFrameAtIndex(0)));
  }
  /// "My Term": the test client with windows of class MyTerm, its desktop entry kept outside the applications
  /// folders (on the user's desktop), added with the Apps pane's "+".
  void addMyTermWithPlus() {
    const auto path = tempDir() / "Desktop" / "myterm.desktop";
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "[Desktop Entry]\nType=Application\nName=My Term\nStartupWMClass=MyTerm\nExec=\""
                        << TILVANE_TESTCLIENT_PATH << "\" --class myterm,MyTerm\n";
    AppRuleList list(std::make_unique<PickedPath>(path.string()));
    ASSERT_EQ(list.add(), AppRuleList::AddResult::added);
  }

  /// An executable shell script `name` in the test's folder running `body`.
  std::string script(const std::string& name, const std::string& body) {
    const auto path = tempDir() / name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path.string();
  }
  /// A desktop entry `name` running `exec`, without StartupWMClass: nothing tells the class of its windows.
  std::string entryRunning(const std::string& name, const std::string& exec) {
    const auto path = tempDir() / "Desktop" / (name + ".desktop");
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << exec << "\n";
    return path.string();
  }
  /// The program "handed": counts each start in `starts_`, then runs the test client with windows of class
  /// TilvaneHanded.
  std::string handedProgram() {
    return script("handed", "echo >> \"" + starts_.string() + "\"\nexec \"" TILVANE_TESTCLIENT_PATH
                            "\" --class handed,TilvaneHanded\n");
  }
  static std::size_t lines(const std::filesystem::path& path) {
    std::ifstream file(path);
    return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(file), {}, '\n'));
  }
  std::size_t starts() { return lines(starts_); }
  /// A script that counts its start in `launches_`, then becomes the command its arguments give.
  std::string countingScript() {
    return script("counted", "echo >> \"" + launches_.string() + "\"\nexec \"$@\"\n");
  }
  /// `exec` run by countingScript.
  std::string countedLaunch(const std::string& exec) { return countingScript() + " " + exec; }
  /// Restores `item` of a program that leaves its window to a process of its own (its entry runs a
  /// countedLaunch), waiting for that window whenever a launch has been made: the launch has ended before the
  /// program it left counts its start.
  void restoreHanded(const WorkspaceLayoutItemModelPtr& item) {
    const std::size_t before = lines(launches_);
    restoreAll({item}, [&] {
      return (started().empty() && lines(launches_) == before) || !windowsOf("TilvaneHanded").empty();
    }, true);
  }
  /// Ends every process showing a window of `bundle` (they belong to no launcher once their starter left).
  void endWindowsOf(const std::string& bundle) {
    for (const std::uint32_t w : windowsOf(bundle))
      ::kill(SIWindow(*desktop().applications().elementOf(w)).processIdentifier(), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return windowsOf(bundle).empty(); }));
  }

  std::string loader(const std::string& name, const std::string& then, const std::string& before = {});
  /// The program that shows the main window, as a loader's script runs it.
  static std::string mainProgram() { return "\"" TILVANE_TESTCLIENT_PATH "\" --class main,TilvaneMain"; }
  /// Made by a loader's script once its loading window ended, for a main program started before.
  std::filesystem::path mainGo() const { return go_.string() + ".main"; }
  /// The loading window of a loader's launch ends (after the restore took it), and its main window shows: put in
  /// place on the restore's clock once admitted.
  void mainShows();
  std::function<bool()> loadingOrMainShown() {
    return [this] { return !windowsOf("TilvaneLoading").empty() || !windowsOf("TilvaneMain").empty(); };
  }
  void expectOneMainWindowPlaced() {
    ASSERT_EQ(windowsOf("TilvaneMain").size(), 1u);
    EXPECT_TRUE(frameBecomes(windowsOf("TilvaneMain")[0], kLowerRight))
        << *probe().frameRect(windowsOf("TilvaneMain")[0]);
  }

  double start_ = 0;
  /// A loader's loading window shows until this exists.
  std::filesystem::path go_ = tempDir() / "go";
  std::filesystem::path starts_ = tempDir() / "starts";
  std::filesystem::path launches_ = tempDir() / "launches";
};

TEST_F(WorkspaceRestoreOnX11Test, OpenTerminalsAreTakenAsTheyAreAndOnlyAClosedOneStartsAgain) {
  constexpr const char* kTerminal = "debian-xterm";  // what plain xterms are known as, by their desktop entry
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  spawn({"xterm", "-T", "Term A", "-geometry", "80x24+100+100"});
  ChildProcess& second = spawn({"xterm", "-T", "Term B", "-geometry", "80x24+600+100"});
  ASSERT_TRUE(waitUntil([&] { return titled("Term A") && titled("Term B"); }));
  const std::uint32_t terminals[] = {*titled("Term A"), *titled("Term B")};
  ASSERT_TRUE(waitUntil([&] { return windowsOf(kTerminal).size() == 2; }));
  advance(1.0);
  for (const std::uint32_t w : terminals) ASSERT_TRUE(waitUntil([&] { return managed(w); }));
  advance(3.0);

  // Snapshot them, then give the items places of their own: the left and the right half.
  auto items = LayoutManager::shared().snapshotWorkspace();
  ASSERT_EQ(items.size(), 2u);
  const XRectangle halves[] = {{0, 0, 960, 1056}, {960, 0, 960, 1056}};
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(items[i]->appPath(), "");
    items[i]->setX(i * 0.5);
    items[i]->setY(0);
    items[i]->setWidth(0.5);
    items[i]->setHeight(1);
  }

  // Restored while both run: the same two windows, one on each half, and no new process.
  // Either window may serve either item: both are the same application's.
  restoreAll(items);
  EXPECT_TRUE(started().empty());
  EXPECT_EQ(windowsOf(kTerminal).size(), 2u);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(terminals[0])->y == 0; })) << *probe().frameRect(terminals[0]);
  const bool inOrder = probe().frameRect(terminals[0])->x == 0;
  EXPECT_TRUE(standsOn(terminals[0], halves[inOrder ? 0 : 1])) << *probe().frameRect(terminals[0]);
  EXPECT_TRUE(standsOn(terminals[1], halves[inOrder ? 1 : 0])) << *probe().frameRect(terminals[1]);

  // The second one closed, the first moved away: the first is taken as it is, and one new terminal is started
  // for the second's place.
  second.terminate();
  ASSERT_TRUE(waitUntil([&] { return windowsOf(kTerminal).size() == 1 && !managed(terminals[1]); }));
  probe().moveResize(terminals[0], {300, 300, 484, 316});
  restoreAll(items, [&] { return windowsOf(kTerminal).size() == 2; });
  EXPECT_EQ(started().size(), 1u);
  const auto after = windowsOf(kTerminal);
  ASSERT_EQ(after.size(), 2u);
  const std::uint32_t fresh = after[0] == terminals[0] ? after[1] : after[0];
  EXPECT_TRUE(after[0] == terminals[0] || after[1] == terminals[0]);
  EXPECT_TRUE(standsOn(terminals[0], halves[0])) << *probe().frameRect(terminals[0]);
  EXPECT_TRUE(standsOn(fresh, halves[1])) << *probe().frameRect(fresh);
}

TEST_F(WorkspaceRestoreOnX11Test, AWindowPutOnAnotherDesktopIsSnapshotAndRestoredThere) {
  startTilvane();
  auto& client = launchClient({"--class", "elsewhere,TilvaneElsewhere", "--title", "Elsewhere"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return managed(client.window()); }));
  advance(3.0);
  ASSERT_EQ(records("TilvaneElsewhere").size(), 1u);
  EXPECT_EQ(records("TilvaneElsewhere")[0]->spaceIndex(), 0);

  // Another program puts it on the third desktop; the first stays shown. The record follows with the usual
  // grouped write, after two quiet seconds.
  ASSERT_EQ(runCommand({"wmctrl", "-i", "-r", std::to_string(client.window()), "-t", "2"}), 0);
  ASSERT_TRUE(waitUntil([&] { return !LayoutManager::shared().updateQueue().empty(); }));
  advance(2.0);
  EXPECT_EQ(records("TilvaneElsewhere")[0]->spaceIndex(), 2);
  EXPECT_EQ(probe().currentDesktop(), 0);
  const auto items = LayoutManager::shared().snapshotWorkspace();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]->spaceIndex(), 2);

  // Back on the first desktop, the restore puts it on the third again.
  ASSERT_EQ(runCommand({"wmctrl", "-i", "-r", std::to_string(client.window()), "-t", "0"}), 0);
  ASSERT_TRUE(waitUntil([&] { return probe().desktopOf(client.window()) == 0; }));
  restoreAll(items);
  EXPECT_TRUE(waitUntil([&] { return probe().desktopOf(client.window()) == 2; }));
}

TEST_F(WorkspaceRestoreOnX11Test, AProgramStartedThroughALinkIsTheItemsWhateverItsWindowsAreCalled) {
  // "tilvanelinked" on PATH is a link to the test client, whose windows call themselves TestClient.
  const auto bin = tempDir() / "bin";
  std::filesystem::create_directories(bin);
  std::filesystem::create_symlink(TILVANE_TESTCLIENT_PATH, bin / "tilvanelinked");
  const ScopedEnv path("PATH", bin.string() + ":" + std::getenv("PATH"));
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  restoreAll({workspaceItem("TilvaneLinked", 0, CGRectMake(0.5, 0.5, 0.5, 0.5))},
             [&] { return !windowsOf("TestClient").empty(); });
  const auto windows = windowsOf("TestClient");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_TRUE(waitUntil([&] { return probe().frameRect(windows[0]) == XRectangle{960, 528, 960, 528}; }))
      << *probe().frameRect(windows[0]);
}

TEST_F(WorkspaceRestoreOnX11Test, ARunningWindowAndAStartedOneEndOnTheirDesktopsAndRectangles) {
  startTilvane();
  auto& alpha = launchClient({"--class", "alpha,TilvaneAlpha", "--title", "Alpha"});
  ASSERT_TRUE(waitUntil([&] { return tracked(alpha.pid()); }));
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return managed(alpha.window()); }));
  advance(3.0);

  auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  group->setItems({workspaceItem("TilvaneAlpha", 1, CGRectMake(0, 0, 0.5, 0.5)),
                   workspaceItem(kNotesId, 2, CGRectMake(0.5, 0.5, 0.5, 0.5))});
  start_ = loop().elapsed();
  LayoutManager::shared().layoutWorkspace(*group);

  // Desktops 2 to 4 are visited, one a second.
  runUntil(3.99);
  ASSERT_TRUE(waitUntil([&] { return desktop().desktops().current == 3u; }));
  // Then desktop 2 (the first item's) is shown, and the running application is brought forward (its desktop
  // shown) and taken; its window goes to desktop 2 and its rectangle.
  runUntil(4.0);
  ASSERT_TRUE(waitUntil([&] { return focusedIs("TilvaneAlpha"); }));
  runUntil(5.3);
  ASSERT_TRUE(waitUntil([&] { return desktop().windowDesktop(alpha.window()) == 1u; }));
  runUntil(6.3);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(alpha.window()) == XRectangle{0, 0, 960, 528}; }))
      << *probe().frameRect(alpha.window());

  // The second application is not running: its desktop entry is started, and its window shows up focused.
  ASSERT_TRUE(waitUntil([&] { return focusedIs(kNotesId); }, 10.0));
  const auto notes = windowOf(kNotesId);
  ASSERT_TRUE(notes);
  runUntil(7.6);
  ASSERT_TRUE(waitUntil([&] { return desktop().windowDesktop(*notes) == 2u; }));
  runUntil(8.6);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(*notes) == XRectangle{960, 528, 960, 528}; }))
      << *probe().frameRect(*notes);
  EXPECT_FALSE(LayoutManager::shared().workspaceRunning());
  EXPECT_EQ(desktop().windowDesktop(alpha.window()), 1u);
  EXPECT_EQ(probe().frameRect(alpha.window()), (XRectangle{0, 0, 960, 528}));

  // The started program belongs to the test's clean-up: end it with the desktop entry's client.
  const auto app = SIWindow(*desktop().applications().elementOf(*notes)).app();
  ASSERT_TRUE(app);
  ::kill(app->processIdentifier(), SIGTERM);
}

TEST_F(WorkspaceRestoreOnX11Test, AnItemStartsItsOwnProgramAndLeavesAnotherApplicationRunningItAlone) {
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  addMyTermWithPlus();
  // Another application runs the test client too; My Term's window is open for the snapshot, then closed.
  auto& other = launchClient({"--class", "other,TilvaneOther", "--title", "Other"});
  auto& open = launchClient({"--class", "myterm,MyTerm"});
  ASSERT_TRUE(waitUntil([&] { return tracked(other.pid()) && tracked(open.pid()); }));
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return managed(other.window()) && managed(open.window()); }));
  advance(3.0);
  const auto snapshot = LayoutManager::shared().snapshotWorkspace();
  const auto myTerm = std::find_if(snapshot.begin(), snapshot.end(),
                                   [](const auto& item) { return item->bundleIdentifier() == "MyTerm"; });
  ASSERT_NE(myTerm, snapshot.end());
  EXPECT_EQ((*myTerm)->appPath(), "");
  open.quit();
  ASSERT_TRUE(waitUntil([&] { return windowsOf("MyTerm").empty(); }));
  const auto before = probe().frameRect(other.window());
  const struct {
    const char* how;
    WorkspaceLayoutItemModelPtr item;
    std::string shownAs;
  } cases[] = {
      {"a program added with +, by its identifier", *myTerm, "MyTerm"},
      {"a stored program path", workspaceItem("TilvaneMine", 0, {}, TILVANE_TESTCLIENT_PATH), "TestClient"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    c.item->setX(0.5);
    c.item->setY(0.5);
    c.item->setWidth(0.5);
    c.item->setHeight(0.5);
    restoreAll({c.item}, [&] { return !windowsOf(c.shownAs).empty(); });
    EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
    probe().syncWindowManager();  // whatever was asked of the other's window is done
    EXPECT_EQ(probe().frameRect(other.window()), before);
    expectOneStartedOnTheLowerRightThenEnd(c.shownAs);
  }
}

TEST_F(WorkspaceRestoreOnX11Test, AnItemWithParametersStartsOneProcessAndTakesItsSlowWindowNotAnOpenOne) {
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  const auto go = tempDir() / "go";
  const struct {
    const char* how;
    std::string bundle, app, parameters, openClass;
  } cases[] = {
      {"by its program", "TilvaneLate", TILVANE_TESTCLIENT_PATH, "--class late,TilvaneLate --after " + go.string(),
       "late,TilvaneLate"},
      {"by its desktop entry", kNotesId, "", "--after " + go.string(), "notes,TilvaneNotes"},
  };
  startTilvane();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    std::filesystem::remove(go);
    // A window of the application is open and focused, away from the item's place.
    TestClient& open = managedClient({"--class", c.openClass});
    ASSERT_EQ(runCommand({"xdotool", "windowactivate", std::to_string(open.window())}), 0);
    ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == open.window(); }));
    const auto before = probe().frameRect(open.window());
    // The program shows its window once the restore's clock is 2.5 s past its start: two polls find none.
    std::optional<double> startedAt;
    restoreAll({workspaceItem(c.bundle, 0, CGRectMake(0.5, 0.5, 0.5, 0.5), c.app, c.parameters)}, [&] {
      if (!startedAt) startedAt = loop().elapsed();
      if (loop().elapsed() - *startedAt < 2.5) return true;
      std::ofstream(go).close();
      return windowsOf(c.bundle).size() == started().size() + 1;
    });
    probe().syncWindowManager();
    EXPECT_EQ(probe().frameRect(open.window()), before);
    expectOneStartedOnTheLowerRightThenEnd(c.bundle, open.window());
    open.quit();
    ASSERT_TRUE(waitUntil([&] { return windowsOf(c.bundle).empty(); }));
  }
}

TEST_F(WorkspaceRestoreOnX11Test, AnItemWhoseWindowWasClosedStartsAgainThoughItsProcessRuns) {
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  const auto item = workspaceItem("TilvaneAgain", 0, CGRectMake(0.5, 0.5, 0.5, 0.5), TILVANE_TESTCLIENT_PATH,
                                  "--class again,TilvaneAgain");
  restoreAll({item}, [&] { return windowsOf("TilvaneAgain").size() == started().size(); });
  ASSERT_EQ(windowsOf("TilvaneAgain").size(), 1u);
  probe().destroy(windowsOf("TilvaneAgain")[0]);  // its process keeps running
  ASSERT_TRUE(waitUntil([&] { return windowsOf("TilvaneAgain").empty(); }));
  restoreAll({item}, [&] { return windowsOf("TilvaneAgain").size() + 1 == started().size(); });
  EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
  EXPECT_EQ(started().size(), 2u);
  ASSERT_EQ(windowsOf("TilvaneAgain").size(), 1u);
  EXPECT_TRUE(frameBecomes(windowsOf("TilvaneAgain")[0], kLowerRight));
}

// The item is not known by the class of the program's windows: the window of the script's child is its own.
TEST_F(WorkspaceRestoreOnX11Test, AnItemWhoseScriptRunsItsProgramAsAChildAndStaysStartsItOnceAndAgainOnceItsWindowClosed) {
  const auto script = tempDir() / "wrapper";
  std::ofstream(script) << "#!/bin/sh\n\"" << TILVANE_TESTCLIENT_PATH << "\" \"$@\"\nsleep 60\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const auto go = tempDir() / "go";
  // The script's processes, the program's included, are in the group of the one started.
  const std::shared_ptr<void> end(nullptr, [&](void*) {
    for (const pid_t pid : started()) ::kill(-pid, SIGTERM);
  });
  startTilvane();
  const LogManager::Capture log;
  const auto item = workspaceItem("TilvaneWrapper", 0, CGRectMake(0.5, 0.5, 0.5, 0.5), script.string(),
                                  "--class child,TilvaneChild --after " + go.string());
  // The program shows its window 3.5 s on the restore's clock after the `n`-th process started, as one behind
  // a script's sleep does.
  const auto windowOfProcess = [&](std::size_t n) -> std::function<bool()> {
    std::filesystem::remove(go);
    return [&, n, at = std::optional<double>()]() mutable {
      if (started().size() < n) return true;
      if (!at) at = loop().elapsed();
      if (loop().elapsed() - *at < 3.5) return true;
      std::ofstream(go).close();
      return !windowsOf("TilvaneChild").empty();
    };
  };
  restoreAll({item}, windowOfProcess(1));
  EXPECT_EQ(started().size(), 1u);
  ASSERT_EQ(windowsOf("TilvaneChild").size(), 1u);
  EXPECT_TRUE(frameBecomes(windowsOf("TilvaneChild")[0], kLowerRight));
  // The program quits with its window, the script runs on; the workspace is restored again half a second later.
  ::kill(SIWindow(*desktop().applications().elementOf(windowsOf("TilvaneChild")[0])).processIdentifier(), SIGTERM);
  ASSERT_TRUE(waitUntil([&] { return windowsOf("TilvaneChild").empty(); }));
  advance(0.5);
  restoreAll({item}, windowOfProcess(2));
  EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
  EXPECT_EQ(started().size(), 2u);
  ASSERT_EQ(windowsOf("TilvaneChild").size(), 1u);
  EXPECT_TRUE(frameBecomes(windowsOf("TilvaneChild")[0], kLowerRight));
  EXPECT_EQ(log.count("workspace item skipped"), 0u);
}

TEST_F(WorkspaceRestoreOnX11Test, WindowsOfOneApplicationStayWhereTheyStandWhateverTheItemsOrderAndTheFocus) {
  startTilvane();
  const XRectangle places[] = {{40, 60, 400, 300}, {420, 200, 400, 300}, {900, 500, 400, 300}};
  std::vector<std::uint32_t> windows;
  for (const XRectangle& place : places) {
    const std::uint32_t window = managedClient({"--class", "trio,TilvaneTrio"}).window();
    probe().moveResize(window, place);
    ASSERT_TRUE(waitUntil([&] { return probe().frameRect(window)->x == place.x; })) << *probe().frameRect(window);
    windows.push_back(window);
  }
  catchUp();
  std::vector<XRectangle> before;
  for (const std::uint32_t window : windows) before.push_back(*probe().frameRect(window));
  for (const bool gutters : {false, true}) {
    SCOPED_TRACE(gutters ? "gutters on" : "gutters off");
    defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), gutters);
    // The workspace lists them third, first, second.
    const double gap = gutters ? 8 : 0;
    const std::vector<WorkspaceLayoutItemModelPtr> items{itemWhereItStands("TilvaneTrio", windows[2], gap),
                                                         itemWhereItStands("TilvaneTrio", windows[0], gap),
                                                         itemWhereItStands("TilvaneTrio", windows[1], gap)};
    for (std::size_t c = 0; c < windows.size(); ++c) {
      const XRectangle r = before[c];
      ASSERT_EQ(runCommand({"xdotool", "mousemove", std::to_string(r.x + r.width / 2),
                            std::to_string(r.y + r.height / 2), "click", "1"}),
                0);
      ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == windows[c]; }));
      restoreAll(items);
      EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
      probe().syncWindowManager();
      for (std::size_t i = 0; i < windows.size(); ++i) {
        const XRectangle now = *probe().frameRect(windows[i]);
        EXPECT_LE(std::abs(now.x - before[i].x) + std::abs(now.y - before[i].y), 2) << i << ": " << now;
      }
    }
  }
}

TEST_F(WorkspaceRestoreOnX11Test, AWindowThatTakesNoFocusIsRestoredLikeAnyOther) {
  startTilvane();
  const std::uint32_t still = managedClient({"--class", "still,TilvaneStill", "--no-input"}).window();
  // A window made after it has the focus, as a clock's never has.
  managedClient({"--class", "other,TilvaneOther"});
  restoreAll({workspaceItem("TilvaneStill", 0, CGRectMake(0.5, 0.5, 0.5, 0.5))});
  EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
  EXPECT_TRUE(frameBecomes(still, kLowerRight)) << *probe().frameRect(still);
}

TEST_F(WorkspaceRestoreOnX11Test, AnItemWhoseEntryRunsAWrapperScriptStartsNothingWhileItsApplicationRuns) {
  // As distributions start programs: the entry runs a script on PATH that runs the program.
  const auto bin = tempDir() / "bin";
  std::filesystem::create_directories(bin);
  std::ofstream(bin / "tilvanewrapped") << "#!/bin/sh\nexec \"" << TILVANE_TESTCLIENT_PATH << "\" \"$@\"\n";
  std::filesystem::permissions(bin / "tilvanewrapped", std::filesystem::perms::owner_all);
  const ScopedEnv path("PATH", bin.string() + ":" + std::getenv("PATH"));
  const auto entry = tempDir() / "Desktop" / "wrapped.desktop";
  std::filesystem::create_directories(entry.parent_path());
  std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Wrapped\nExec=tilvanewrapped --class "
                          "wrapped,TilvaneWrapped\n";
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  const std::uint32_t running = managedClient({"--class", "wrapped,TilvaneWrapped"}).window();
  restoreAll({workspaceItem("TilvaneWrapped", 0, CGRectMake(0.5, 0.5, 0.5, 0.5), entry.string())});
  EXPECT_TRUE(started().empty());
  EXPECT_EQ(windowsOf("TilvaneWrapped"), std::vector<std::uint32_t>{running});
  EXPECT_TRUE(frameBecomes(running, kLowerRight)) << *probe().frameRect(running);
}

// The launch leaves the program to a process of its own and ends well: its window is known by the launch's mark.
TEST_F(WorkspaceRestoreOnX11Test, AnItemWhoseStartLeavesItsProgramInTheBackgroundStartsItOnceAndPlacesIt) {
  const std::string program = handedProgram();
  const struct {
    const char* how;
    std::string entry;
  } cases[] = {
      {"a script leaving it in the background",
       entryRunning("Background", countedLaunch(script("background", "\"" + program + "\" &\nexit 0\n")))},
      {"setsid -f", entryRunning("Setsid", countedLaunch("setsid -f " + program))},
  };
  const std::shared_ptr<void> end(nullptr, [&](void*) { endWindowsOf("TilvaneHanded"); });
  startTilvane();
  const LogManager::Capture log;
  for (const bool gutters : {false, true})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.how) + (gutters ? ", gutters on" : ", gutters off"));
      defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), gutters);
      std::filesystem::remove(starts_);
      restoreHanded(workspaceItem("org.tilvane.Handed", 0, CGRectMake(0.5, 0.5, 0.5, 0.5), c.entry));
      EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
      EXPECT_EQ(starts(), 1u);
      const auto windows = windowsOf("TilvaneHanded");
      ASSERT_EQ(windows.size(), 1u);
      const XRectangle placed = gutters ? XRectangle{968, 536, 944, 512} : kLowerRight;
      EXPECT_TRUE(frameBecomes(windows[0], placed)) << *probe().frameRect(windows[0]);
      endWindowsOf("TilvaneHanded");
    }
  EXPECT_EQ(log.count("workspace item skipped"), 0u);
}

TEST_F(WorkspaceRestoreOnX11Test, AnItemsWindowMovedAwayIsPutBackWithoutAStartAlsoAfterARestart) {
  const auto item = workspaceItem("org.tilvane.Handed", 0, CGRectMake(0.5, 0.5, 0.5, 0.5),
                                  entryRunning("Background", countedLaunch(script("background", "\"" + handedProgram() + "\" &\n"))));
  const std::shared_ptr<void> end(nullptr, [&](void*) { endWindowsOf("TilvaneHanded"); });
  startTilvane();
  restoreHanded(item);
  ASSERT_EQ(windowsOf("TilvaneHanded").size(), 1u);
  const std::uint32_t window = windowsOf("TilvaneHanded")[0];
  for (const bool restarted : {false, true}) {
    SCOPED_TRACE(restarted ? "after a restart" : "in the same run");
    if (restarted) restartTilvane();
    probe().moveResize(window, {100, 100, 400, 300});
    ASSERT_TRUE(waitUntil([&] { return probe().frameRect(window)->x == 100; })) << *probe().frameRect(window);
    catchUp();
    restoreHanded(item);
    EXPECT_EQ(starts(), 1u);
    EXPECT_EQ(windowsOf("TilvaneHanded"), std::vector<std::uint32_t>{window});
    EXPECT_TRUE(frameBecomes(window, kLowerRight)) << *probe().frameRect(window);
  }
}

// The user opens a window of the item's program while the item's own appears: only the item's is moved.
TEST_F(WorkspaceRestoreOnX11Test, AWindowTheUserOpensDuringTheRestoreIsNeitherTakenNorRemembered) {
  const auto item = workspaceItem("org.tilvane.ItemTerm", 0, CGRectMake(0.5, 0, 0.5, 1),
                                  entryRunning("Item Term", std::string("\"") + TILVANE_TESTCLIENT_PATH +
                                                                "\" --class itemterm,TilvaneItemTerm"));
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  bool opened = false;
  restoreAll({item}, [&] {
    if (windowsOf("TilvaneItemTerm").empty()) return false;
    if (!std::exchange(opened, true)) spawn({TILVANE_TESTCLIENT_PATH, "--class", "userterm,TilvaneUserTerm"});
    return !windowsOf("TilvaneUserTerm").empty();
  });
  EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
  const XRectangle rightHalf{960, 0, 960, 1056};
  ASSERT_EQ(windowsOf("TilvaneItemTerm").size(), 1u);
  EXPECT_TRUE(frameBecomes(windowsOf("TilvaneItemTerm")[0], rightHalf));
  ASSERT_EQ(windowsOf("TilvaneUserTerm").size(), 1u);
  probe().syncWindowManager();
  EXPECT_NE(probe().frameRect(windowsOf("TilvaneUserTerm")[0]), rightHalf);
  advance(3.0);
  for (const auto& record : records("TilvaneUserTerm")) EXPECT_NE(record->x(), 0.5);
}

// A program started from the item's window inherits the launch's mark: it is never the item's, and once the
// item's own window is closed the item starts again.
TEST_F(WorkspaceRestoreOnX11Test, AProgramStartedFromTheItemsWindowIsNeverTakenForIt) {
  const auto item = workspaceItem("org.tilvane.ItemTerm", 0, CGRectMake(0.5, 0, 0.5, 1),
                                  entryRunning("Item Term", std::string("\"") + TILVANE_TESTCLIENT_PATH +
                                                                "\" --class itemterm,TilvaneItemTerm"));
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  const auto shown = [&] { return !windowsOf("TilvaneItemTerm").empty(); };
  restoreAll({item}, shown);
  ASSERT_EQ(windowsOf("TilvaneItemTerm").size(), 1u);
  // Run with the terminal's environment, as from it, and put at a place of its own.
  spawn({"env", "TILVANE_LAUNCH_MARK=" + item->id(), TILVANE_TESTCLIENT_PATH, "--class", "editor,TilvaneEditor"});
  ASSERT_TRUE(waitUntil([&] { return windowsOf("TilvaneEditor").size() == 1; }));
  const std::uint32_t editor = windowsOf("TilvaneEditor")[0];
  probe().moveResize(editor, {100, 100, 400, 300});
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(editor)->x == 100; })) << *probe().frameRect(editor);
  catchUp();
  const XRectangle own = *probe().frameRect(editor);
  advance(3.0);
  endStarted();
  ASSERT_TRUE(waitUntil([&] { return windowsOf("TilvaneItemTerm").empty() && started().empty(); }));
  restoreAll({item}, shown);
  EXPECT_EQ(started().size(), 1u);
  ASSERT_EQ(windowsOf("TilvaneItemTerm").size(), 1u);
  EXPECT_TRUE(frameBecomes(windowsOf("TilvaneItemTerm")[0], {960, 0, 960, 1056}));
  probe().syncWindowManager();
  EXPECT_EQ(probe().frameRect(editor), own);
  advance(3.0);
  for (const auto& record : records("TilvaneEditor")) EXPECT_NE(record->x(), 0.5);
}

// Its own launch's window open (this run or before a restart), an item with parameters starts nothing.
TEST_F(WorkspaceRestoreOnX11Test, AnItemWithParametersPutsItsOpenWindowBackWithoutAStart) {
  const auto item = workspaceItem("TilvaneAgain", 0, CGRectMake(0.5, 0.5, 0.5, 0.5), TILVANE_TESTCLIENT_PATH,
                                  "--class again,TilvaneAgain");
  const std::shared_ptr<void> end(nullptr, [&](void*) { endWindowsOf("TilvaneAgain"); });
  startTilvane();
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 2) restartTilvane();
    if (round > 0) {
      const std::uint32_t window = windowsOf("TilvaneAgain")[0];
      probe().moveResize(window, {100, 100, 400, 300});
      ASSERT_TRUE(waitUntil([&] { return probe().frameRect(window)->x == 100; })) << *probe().frameRect(window);
      catchUp();
    }
    restoreAll({item}, [&] { return windowsOf("TilvaneAgain").size() >= std::max<std::size_t>(started().size(), 1); });
    EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
    ASSERT_EQ(windowsOf("TilvaneAgain").size(), 1u);
    EXPECT_TRUE(frameBecomes(windowsOf("TilvaneAgain")[0], kLowerRight));
  }
}

// The mark is looked at before the identifier: an item known by a class leaves the window of another item's
// launch of that class alone.
TEST_F(WorkspaceRestoreOnX11Test, AnItemKnownByAClassNeverTakesTheWindowOfAnotherItemsLaunch) {
  const std::string opener = script("opener", "echo >> \"" + starts_.string() + "\"\nexec \"" TILVANE_TESTCLIENT_PATH
                                              "\" --class shared,TilvaneShared\n");
  const std::vector<WorkspaceLayoutItemModelPtr> items{
      workspaceItem("TilvaneShared", 0, CGRectMake(0, 0, 0.5, 0.5)),
      workspaceItem("org.tilvane.Opener", 0, CGRectMake(0.5, 0.5, 0.5, 0.5), entryRunning("Opener", opener))};
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    restoreAll(items, [&] { return starts() == 0 || !windowsOf("TilvaneShared").empty(); });
    EXPECT_EQ(starts(), 1u);
    ASSERT_EQ(windowsOf("TilvaneShared").size(), 1u);
    EXPECT_TRUE(frameBecomes(windowsOf("TilvaneShared")[0], kLowerRight)) << *probe().frameRect(windowsOf("TilvaneShared")[0]);
  }
}

// Known only by its program file (nothing runs under its name), the item's program started by the user after the
// restore began is the user's, though its window shows before the item's.
TEST_F(WorkspaceRestoreOnX11Test, TheItemsProgramTheUserStartsDuringTheRestoreIsNotTaken) {
  const auto go = tempDir() / "go";
  const auto item = workspaceItem("TilvaneLate", 0, CGRectMake(0.5, 0.5, 0.5, 0.5), TILVANE_TESTCLIENT_PATH,
                                  "--class late,TilvaneLate --after " + go.string());
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  std::optional<double> startedAt;
  std::optional<XRectangle> user;
  restoreAll({item}, [&] {
    if (started().empty()) return true;
    if (!startedAt) {
      startedAt = loop().elapsed();
      spawn({TILVANE_TESTCLIENT_PATH, "--class", "user,TilvaneUser"});
    }
    if (windowsOf("TilvaneUser").empty()) return false;
    if (!user) {
      probe().syncWindowManager();
      user = probe().frameRect(windowsOf("TilvaneUser")[0]);
    }
    // Two polls see the user's window alone.
    if (loop().elapsed() - *startedAt < 2.5) return true;
    std::ofstream(go).close();
    return !windowsOf("TilvaneLate").empty();
  });
  ASSERT_EQ(windowsOf("TilvaneLate").size(), 1u);
  EXPECT_TRUE(frameBecomes(windowsOf("TilvaneLate")[0], kLowerRight));
  probe().syncWindowManager();
  ASSERT_EQ(windowsOf("TilvaneUser").size(), 1u);
  EXPECT_EQ(probe().frameRect(windowsOf("TilvaneUser")[0]), user);
}

TEST_F(WorkspaceRestoreOnX11Test, AnItemThatNeverShowsAWindowIsStartedOnceAndNamedAsSkipped) {
  const auto item = workspaceItem("org.tilvane.Silent", 0, CGRectMake(0.5, 0.5, 0.5, 0.5),
                                  entryRunning("Silent", script("silent", "echo >> \"" + starts_.string() +
                                                                              "\"\nexec sleep 30\n")));
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  restoreAll({item});
  EXPECT_EQ(starts(), 1u);
  EXPECT_EQ(VkHUD::shared().text(),
            NSLocalizedString("LayoutComplete") + ". " + NSLocalizedString("WorkspaceSkipped") + " Silent");
}

// The restore asked for again before the first took its windows (a double click, the link sent twice): the second
// sees what the first did when its items' turn comes.
TEST_F(WorkspaceRestoreOnX11Test, AClosedItemRestoredTwiceASecondApartComesBackOnceAndALaterRestoreStartsNothing) {
  const auto item = workspaceItem(
      "org.tilvane.Twice", 0, CGRectMake(0.5, 0.5, 0.5, 0.5),
      entryRunning("Twice", countedLaunch("\"" TILVANE_TESTCLIENT_PATH "\" --class twice,TilvaneTwice")));
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  startTilvane();
  const auto shown = [&] { return windowsOf("TilvaneTwice").size() >= started().size(); };
  restoreAll({item}, shown);
  ASSERT_EQ(windowsOf("TilvaneTwice").size(), 1u);
  endStarted();
  ASSERT_TRUE(waitUntil([&] { return windowsOf("TilvaneTwice").empty() && started().empty(); }));
  restoreAskedAt({item}, {0.0, 1.0}, shown);
  EXPECT_EQ(lines(launches_), 2u);
  ASSERT_EQ(windowsOf("TilvaneTwice").size(), 1u);
  EXPECT_TRUE(frameBecomes(windowsOf("TilvaneTwice")[0], kLowerRight))
      << *probe().frameRect(windowsOf("TilvaneTwice")[0]);
  restoreAll({item}, shown);
  EXPECT_EQ(lines(launches_), 2u);
  EXPECT_EQ(windowsOf("TilvaneTwice").size(), 1u);
}

// Six launcher kinds, their windows closed; the workspace asked for again while the first restore still places.
TEST_F(WorkspaceRestoreOnX11Test, SixKindsOfLaunchersRestoredAgainWhileTheFirstRestorePlacesComeBackOnce) {
  const auto client = [](const std::string& klass) {
    return std::string("\"") + TILVANE_TESTCLIENT_PATH + "\" --class " + klass;
  };
  const struct {
    /// What its windows are known as.
    const char* shownAs;
    WorkspaceLayoutItemModelPtr item;
  } kinds[] = {
      {kByNameId, workspaceItem(kByNameId, 0, {})},
      {"TilvaneDirect", workspaceItem("org.tilvane.Direct", 0, {},
                                      entryRunning("Direct", countedLaunch(client("direct,TilvaneDirect"))))},
      {"TilvaneBackground",
       workspaceItem("org.tilvane.Background", 0, {},
                     entryRunning("Background", countedLaunch(script("background", client("bg,TilvaneBackground") +
                                                                                       " &\nexit 0\n"))))},
      {"TilvaneSetsid",
       workspaceItem("org.tilvane.Setsid", 0, {},
                     entryRunning("Setsid", countedLaunch("setsid -f " + client("setsid,TilvaneSetsid"))))},
      {"TilvaneParams", workspaceItem("TilvaneParams", 0, {}, countingScript(),
                                      std::string(TILVANE_TESTCLIENT_PATH) + " --class params,TilvaneParams")},
      {"TilvaneChild",
       workspaceItem("TilvaneWrapper", 0, {},
                     script("wrapper", "echo >> \"" + launches_.string() +
                                           "\"\n\"" TILVANE_TESTCLIENT_PATH "\" \"$@\"\nsleep 60\n"),
                     "--class child,TilvaneChild")},
  };
  std::vector<WorkspaceLayoutItemModelPtr> items;
  std::vector<XRectangle> places;
  for (std::size_t i = 0; i < std::size(kinds); ++i) {
    const double column = static_cast<double>(i % 3), row = static_cast<double>(i / 3);
    kinds[i].item->setX(column / 3);
    kinds[i].item->setY(row / 2);
    kinds[i].item->setWidth(1.0 / 3);
    kinds[i].item->setHeight(0.5);
    items.push_back(kinds[i].item);
    places.push_back({static_cast<std::int16_t>(640 * column), static_cast<std::int16_t>(528 * row), 640, 528});
  }
  const auto windows = [&] {
    std::size_t n = 0;
    for (const auto& kind : kinds) n += windowsOf(kind.shownAs).size();
    return n;
  };
  // Every start counted has shown its window, and every process started has counted its start (a launch may
  // leave its program in the background before its window shows).
  std::set<pid_t> seen;
  std::size_t closed = 0;
  const auto shown = [&] {
    for (const pid_t pid : started()) seen.insert(pid);
    const std::size_t counted = lines(launches_);
    return counted >= seen.size() && windows() + closed >= counted;
  };
  const std::shared_ptr<void> end(nullptr, [&](void*) {
    for (const pid_t pid : started()) ::kill(-pid, SIGTERM);
    for (const auto& kind : kinds) endWindowsOf(kind.shownAs);
  });
  startTilvane();
  restoreAll(items, shown, true);
  ASSERT_EQ(windows(), 6u);
  for (const auto& kind : kinds) endWindowsOf(kind.shownAs);
  ASSERT_TRUE(waitUntil([&] { return windows() == 0; }));
  closed = 6;
  restoreAskedAt(items, {0.0, 5.0}, shown, true);
  EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
  EXPECT_EQ(lines(launches_), 12u);
  for (std::size_t i = 0; i < std::size(kinds); ++i) {
    SCOPED_TRACE(kinds[i].shownAs);
    const auto open = windowsOf(kinds[i].shownAs);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_TRUE(frameBecomes(open[0], places[i])) << *probe().frameRect(open[0]);
  }
}

// A program slow to show its window (a large program's cold start): the restore gives the item up, and the window
// that shows later is the item's all the same.
TEST_F(WorkspaceRestoreOnX11Test, AWindowShownAfterTheRestoreGaveTheItemUpIsTheItemsAtEveryLaterRestore) {
  const auto item = workspaceItem("org.tilvane.Slow", 0, CGRectMake(0.5, 0.5, 0.5, 0.5),
                                  entryRunning("Slow", countedLaunch(script("slow",
                                                                            "sleep 9\nexec xterm -class "
                                                                            "TilvaneSlow -T Slow\n"))));
  const std::shared_ptr<void> end(nullptr, [&](void*) { endWindowsOf("TilvaneSlow"); });
  startTilvane();
  // The restore's clock runs on whatever the program does: the item is given up long before its window shows.
  const auto lateWindow = [&] {
    std::optional<std::uint32_t> window;
    EXPECT_TRUE(waitUntil([&] { return windowsOf("TilvaneSlow").size() == 1; }, 30.0));
    if (windowsOf("TilvaneSlow").size() == 1) window = windowsOf("TilvaneSlow")[0];
    for (int i = 0; i < 50 && window && !managed(*window); ++i) {
      advance(0.1);
      waitUntil([&] { return managed(*window); }, 0.1);
    }
    return window;
  };
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    restoreAll({item});
    EXPECT_EQ(VkHUD::shared().text(),
              NSLocalizedString("LayoutComplete") + ". " + NSLocalizedString("WorkspaceSkipped") + " Slow");
    const auto window = lateWindow();
    ASSERT_TRUE(window);
    restoreAll({item});
    EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
    EXPECT_EQ(lines(launches_), round + 1u);
    ASSERT_EQ(windowsOf("TilvaneSlow"), std::vector<std::uint32_t>{*window});
    EXPECT_TRUE(standsOn(*window, kLowerRight)) << *probe().frameRect(*window);
    if (round == 0) {
      endWindowsOf("TilvaneSlow");
      ASSERT_TRUE(waitUntil([&] { return started().empty(); }));
    }
  }
}

/// The entry `name` of a launch that shows a loading window of another process (after running `before`) until
/// `go` exists, ends it, then runs `then`.
std::string WorkspaceRestoreOnX11Test::loader(const std::string& name, const std::string& then,
                                              const std::string& before) {
  return entryRunning(
      name, countedLaunch(script(name, "\"" TILVANE_TESTCLIENT_PATH "\" --class loading,TilvaneLoading &\n"
                                       "loading=$!\n" +
                                           before + "while [ ! -e \"" + go_.string() +
                                           "\" ]; do sleep 0.05; done\nkill $loading\n" + then + "\n")));
}

void WorkspaceRestoreOnX11Test::mainShows() {
  std::ofstream(go_).close();
  ASSERT_TRUE(
      waitUntil([&] { return windowsOf("TilvaneLoading").empty() && windowsOf("TilvaneMain").size() == 1; }));
  const std::uint32_t main = windowsOf("TilvaneMain")[0];
  for (int i = 0; i < 50 && !managed(main); ++i) {
    advance(0.1);
    waitUntil([&] { return managed(main); }, 0.1);
  }
  for (int i = 0; i < 15; ++i) {
    advance(0.1);
    probe().syncWindowManager();
    catchUp();
  }
  std::filesystem::remove(go_);
  std::filesystem::remove(mainGo());
}

// A launch that first shows a loading window of another process, ends it, then runs the program (in its place,
// as its child, or in the background, and ends): the program's window is the item's, at its place, and nothing
// starts again while it is open.
TEST_F(WorkspaceRestoreOnX11Test, AnItemWhoseLaunchFirstShowsALoadingWindowComesBackAsItsMainWindow) {
  const struct {
    const char* how;
    std::string entry;
  } cases[] = {
      {"the script becomes the program", loader("Loader", "exec " + mainProgram())},
      {"the script runs the program as its child", loader("ChildLoader", mainProgram())},
      {"the script leaves the program in the background",
       loader("BackgroundLoader", mainProgram() + " &\nexit 0")},
      {"nohup", loader("NohupLoader", "nohup " + mainProgram() + " >/dev/null 2>&1 &\nexit 0")},
      {"setsid -f", loader("SetsidLoader", "exec setsid -f " + mainProgram())},
      {"the program started before the loading window closes",
       loader("EarlyLoader", "wait $loading\ntouch \"" + mainGo().string() + "\"\nexit 0",
              mainProgram() + " --after \"" + mainGo().string() + "\" &\n")},
  };
  const std::shared_ptr<void> end(nullptr, [&](void*) {
    endStarted();
    endWindowsOf("TilvaneMain");
    endWindowsOf("TilvaneLoading");
  });
  startTilvane();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    std::filesystem::remove(launches_);
    const auto item = workspaceItem("org.tilvane.Loader", 0, CGRectMake(0.5, 0.5, 0.5, 0.5), c.entry);
    for (int round = 0; round < 3; ++round) {
      SCOPED_TRACE(round);
      if (round > 0) {
        probe().moveResize(windowsOf("TilvaneMain")[0], {100, 100, 400, 300});
        ASSERT_TRUE(waitUntil([&] { return probe().frameRect(windowsOf("TilvaneMain")[0])->x == 100; }));
        catchUp();
      }
      restoreAll({item}, loadingOrMainShown());
      if (round == 0) mainShows();
      expectOneMainWindowPlaced();
      EXPECT_EQ(lines(launches_), 1u);
    }
    endWindowsOf("TilvaneMain");
    ASSERT_TRUE(waitUntil([&] { return started().empty(); }));
    restoreAll({item}, loadingOrMainShown());
    mainShows();
    expectOneMainWindowPlaced();
    EXPECT_EQ(lines(launches_), 2u);
    advance(3.0);
    for (const auto& record : records("TilvaneLoading"))
      EXPECT_FALSE(record->x() == 0.5 && record->y() == 0.5) << record->x() << ", " << record->y();
    endWindowsOf("TilvaneMain");
    ASSERT_TRUE(waitUntil([&] { return started().empty(); }));
  }
}

// The user left the loading window's program at a place of their own. Its window, placed by a restore and again by
// a second one asked for while it still shows, passes: that place is the program's again.
TEST_F(WorkspaceRestoreOnX11Test, ALoadingWindowPlacedByTwoRestoresLeavesItsProgramsOwnPlace) {
  const XRectangle own{100, 100, 400, 300};
  const std::shared_ptr<void> end(nullptr, [&](void*) {
    endStarted();
    endWindowsOf("TilvaneMain");
    endWindowsOf("TilvaneLoading");
  });
  startTilvane();
  const std::uint32_t users = managedClient({"--class", "loading,TilvaneLoading"}).window();
  probe().moveResize(users, own);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(users)->x == own.x; })) << *probe().frameRect(users);
  const XRectangle users_place = *probe().frameRect(users);
  catchUp();
  advance(3.0);
  ASSERT_EQ(records("TilvaneLoading").size(), 1u);
  const RecordedPlace remembered = recordedPlaceOf(*records("TilvaneLoading")[0]);
  endWindowsOf("TilvaneLoading");
  const auto item = workspaceItem("org.tilvane.Loader", 0, CGRectMake(0.5, 0.5, 0.5, 0.5),
                                  loader("Loader", "exec " + mainProgram()));
  // The loading window shows until the test lets it go, whatever the load.
  restoreAskedAt({item}, {0.0, 1.0}, loadingOrMainShown());
  ASSERT_EQ(windowsOf("TilvaneLoading").size(), 1u);
  mainShows();
  expectOneMainWindowPlaced();
  EXPECT_EQ(lines(launches_), 1u);
  advance(3.0);
  ASSERT_EQ(records("TilvaneLoading").size(), 1u);
  EXPECT_EQ(recordedPlaceOf(*records("TilvaneLoading")[0]), remembered);
  const std::uint32_t again = managedClient({"--class", "loading,TilvaneLoading"}).window();
  EXPECT_TRUE(frameBecomes(again, users_place)) << *probe().frameRect(again);
}

// A window a restore placed, which the user then moved and closed while the restore still ran: the move counts.
TEST_F(WorkspaceRestoreOnX11Test, AWindowMovedAndClosedDuringTheRestoreKeepsTheUsersMove) {
  const XRectangle moved{100, 100, 400, 300};
  startTilvane();
  TestClient& client = managedClient({"--class", "moved,TilvaneMoved"});
  const std::uint32_t window = client.window();
  const auto slow = workspaceItem("org.tilvane.Silent", 0, CGRectMake(0, 0, 0.5, 0.5),
                                  entryRunning("Silent", script("silent", "exec sleep 30\n")));
  const std::shared_ptr<void> end(nullptr, [&](void*) { endStarted(); });
  // Placed, moved a second later, closed half a second after that: on the restore's clock, while the next item
  // still waits for its window.
  enum { placing, placed, movedAway, closed } step = placing;
  double at = 0;
  restoreAll({workspaceItem("TilvaneMoved", 0, CGRectMake(0.5, 0.5, 0.5, 0.5)), slow}, [&] {
    const double now = loop().elapsed();
    if (step == placing && probe().frameRect(window) == kLowerRight) {
      step = placed;
      at = now;
    } else if (step == placed && now > at + 1.0) {
      probe().moveResize(window, moved);
      EXPECT_TRUE(waitUntil([&] { return probe().frameRect(window)->x == moved.x; }));
      catchUp();
      step = movedAway;
      at = now;
    } else if (step == movedAway && now > at + 0.5) {
      ::kill(client.pid(), SIGTERM);
      EXPECT_TRUE(waitUntil([&] { return windowsOf("TilvaneMoved").empty(); }));
      catchUp();
      step = closed;
    }
    return true;
  });
  ASSERT_EQ(step, closed);
  advance(3.0);
  const auto remembered = records("TilvaneMoved");
  ASSERT_EQ(remembered.size(), 1u);
  EXPECT_NEAR(remembered[0]->x(), 100.0 / 1920, 0.01);
  EXPECT_NEAR(remembered[0]->y(), 100.0 / 1056, 0.01);
}

// The user sent the item's window to another desktop, and stayed or followed it: the restore brings the window
// back and ends on its desktop.
TEST_F(WorkspaceRestoreOnX11Test, AWindowSentToAnotherDesktopIsBroughtBackAndTheViewEndsWithIt) {
  startTilvane();
  auto& client = managedClient({"--class", "elsewhere,TilvaneElsewhere", "--title", "Elsewhere"});
  const auto item = workspaceItem("TilvaneElsewhere", 0, CGRectMake(0.5, 0.5, 0.5, 0.5));
  for (const bool followed : {false, true}) {
    SCOPED_TRACE(followed ? "the user followed it" : "the user stayed");
    ASSERT_EQ(runCommand({"wmctrl", "-i", "-r", std::to_string(client.window()), "-t", "2"}), 0);
    ASSERT_TRUE(waitUntil([&] { return probe().desktopOf(client.window()) == 2; }));
    if (followed) probe().switchDesktop(2);
    ASSERT_TRUE(waitUntil([&] { return probe().currentDesktop() == (followed ? 2 : 0); }));
    catchUp();
    restoreAll({item});
    EXPECT_TRUE(frameBecomes(client.window(), kLowerRight)) << *probe().frameRect(client.window());
    EXPECT_EQ(probe().desktopOf(client.window()), 0);
    EXPECT_TRUE(waitUntil([&] { return probe().currentDesktop() == 0; })) << probe().currentDesktop();
  }
}

class SnapshotOnX11Test : public WorkspaceRestoreOnX11Test, public ::testing::WithParamInterface<bool> {};

TEST_P(SnapshotOnX11Test, ASnapshotRestoredAtOnceMovesNoWindow) {
  const auto windows = arrangeByHand(GetParam());
  ASSERT_EQ(windows.size(), 4u);
  restoreAll(LayoutManager::shared().snapshotWorkspace());
  EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("LayoutComplete"));
  probe().syncWindowManager();
  expectStanding(windows);
}

INSTANTIATE_TEST_SUITE_P(Gaps, SnapshotOnX11Test, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

TEST_F(WorkspaceRestoreOnX11Test, AnEmptyWorkspaceEndsOnTheDesktopTheUserWasOn) {
  startTilvane();
  probe().switchDesktop(1);
  ASSERT_TRUE(waitUntil([&] { return desktop().desktops().current == 1u; }));
  catchUp();
  restoreAll({});
  EXPECT_TRUE(waitUntil([&] { return probe().currentDesktop() == 1; })) << probe().currentDesktop();
}

// The messages show in a real message window: a window manager that followed it to a desktop of its own would
// take the user along.
TEST_F(WorkspaceRestoreOnX11Test, AWorkspaceWhoseOnlyItemCannotStartEndsOnTheDesktopTheUserWasOn) {
  const ScopedEnv qtPlatform("QT_QPA_PLATFORM", std::nullopt);
  int argc = 1;
  char name[] = "restore";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  auto view = std::make_unique<QtHUDWindow>();
  const QWidget& message = view->widget();
  VkHUD::shared().setView(std::move(view));
  const std::shared_ptr<void> noView(nullptr, [](void*) { VkHUD::shared().setView(nullptr); });
  setPump([this] {
    notifyReadableDescriptors(loop());
    drain();
    QApplication::processEvents();
  });
  startTilvane();
  for (const int user : {1, 2}) {
    probe().switchDesktop(user);
    ASSERT_TRUE(waitUntil([&] { return probe().currentDesktop() == user; }));
    catchUp();
    // Nothing is known by that name: no desktop entry, no program.
    restoreAll({workspaceItem("TilvaneNowhere", 0, CGRectMake(0.5, 0.5, 0.5, 0.5))});
    EXPECT_TRUE(waitUntil([&] { return probe().currentDesktop() == user; })) << probe().currentDesktop();
    // The closing message shows there, on every desktop or out of the window manager's hands.
    ASSERT_TRUE(message.isVisible());
    const auto window = static_cast<xcb_window_t>(message.winId());
    EXPECT_TRUE(waitUntil([&] {
      const auto a = probe().attributes(window);
      return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    }));
    const auto a = probe().attributes(window);
    EXPECT_TRUE((a && a->override_redirect) ||
                probe().cardinals(window, "_NET_WM_DESKTOP") == std::vector<std::uint32_t>{0xffffffffu});
  }
}

}  // namespace
}  // namespace tilvane::test::x11
