#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/desktop/SIWindow.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "platform/desktop/x11/X11Launcher.h"
#include "support/TestEnvironment.h"

namespace tilvane::x11 {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

// Waits (real time, bounded) for something another process does.
bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class X11LauncherTest : public test::WorldTest {
 protected:
  X11LauncherTest() : launcher_(sim_.applications(), {folder()}) {
    sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
  }
  ~X11LauncherTest() override {
    for (pid_t pid : launcher_.runningChildren()) ::kill(pid, SIGKILL);
    eventually([&] { return launcher_.runningChildren().empty(); });
  }
  fs::path folder() const { return tempDir() / "applications"; }
  void entry(const std::string& file, const std::string& body) {
    fs::create_directories((folder() / file).parent_path());
    std::ofstream(folder() / file) << "[Desktop Entry]\nType=Application\nName=Test\n" << body;
  }

  sim::SimDesktop sim_;
  Desktop::Scope scope_{sim_};
  X11Launcher launcher_;
};

TEST_F(X11LauncherTest, CommandLinesOfEntriesAndPrograms) {
  entry("org.example.Touch.desktop", "Exec=touch %F\n");
  entry("kde/konsole.desktop", "Exec=konsole\n");
  entry("gone.desktop", "Exec=gone\nHidden=true\n");
  const LaunchRequest byId{LaunchTarget::bundleIdentifier, "org.example.Touch", {"a b", "$(reboot)", ""}, true};
  EXPECT_EQ(launcher_.commandFor(byId), (Argv{"touch", "a b", "$(reboot)", ""}));
  EXPECT_EQ(launcher_.commandFor({LaunchTarget::bundleIdentifier, "kde-konsole", {"-e", "top"}, true}),
            (Argv{"konsole", "-e", "top"}));
  EXPECT_EQ(launcher_.commandFor({LaunchTarget::path, (folder() / "kde/konsole.desktop").string(), {}, false}),
            (Argv{"konsole"}));
  EXPECT_EQ(launcher_.commandFor({LaunchTarget::path, "/bin/sh", {"-c", "x"}, true}), (Argv{"/bin/sh", "-c", "x"}));

  EXPECT_EQ(launcher_.commandFor({LaunchTarget::bundleIdentifier, "gone", {}, false}), std::nullopt);
  EXPECT_EQ(launcher_.commandFor({LaunchTarget::bundleIdentifier, "../x", {}, false}), std::nullopt);
  EXPECT_EQ(launcher_.commandFor({LaunchTarget::bundleIdentifier, "org.example.Missing", {}, false}), std::nullopt);
  EXPECT_EQ(launcher_.commandFor({LaunchTarget::path, tempDir().string(), {}, false}), std::nullopt);
  std::ofstream(tempDir() / "notes.txt") << "not a program";
  EXPECT_EQ(launcher_.commandFor({LaunchTarget::path, (tempDir() / "notes.txt").string(), {}, false}), std::nullopt);
  EXPECT_FALSE(launcher_.launch({LaunchTarget::bundleIdentifier, "org.example.Missing", {}, false}));
}

// Entries the user added from elsewhere: one known by the class guessed from its program is found by that class
// in another case too (its windows' class may differ in case); one that names its class only by that class.
TEST_F(X11LauncherTest, AnAddedEntryIsFoundByItsClassInAnotherCaseOnlyWhereTheClassIsGuessed) {
  const fs::path elsewhere = tempDir() / "Desktop";
  fs::create_directories(elsewhere);
  std::ofstream(elsewhere / "clock.desktop") << "[Desktop Entry]\nType=Application\nName=C\nExec=tilvaneclock\n";
  std::ofstream(elsewhere / "named.desktop")
      << "[Desktop Entry]\nType=Application\nName=N\nExec=tilvanenamed\nStartupWMClass=TilvaneNamed\n";
  ASSERT_TRUE(launcher_.registerApplication((elsewhere / "clock.desktop").string()));
  ASSERT_TRUE(launcher_.registerApplication((elsewhere / "named.desktop").string()));
  const std::pair<std::string, std::optional<Argv>> cases[] = {{"Tilvaneclock", Argv{"tilvaneclock"}},
                                                               {"TilvaneClock", Argv{"tilvaneclock"}},
                                                               {"TilvaneNamed", Argv{"tilvanenamed"}},
                                                               {"Tilvanenamed", std::nullopt}};
  for (const auto& [identifier, command] : cases)
    EXPECT_EQ(launcher_.commandFor({LaunchTarget::bundleIdentifier, identifier, {}, false}), command)
        << identifier;
}

TEST_F(X11LauncherTest, ArgumentsReachTheProgramUntouchedInASessionOfItsOwn) {
  entry("org.example.Touch.desktop", "Exec=touch %F\n");
  const fs::path spaced = tempDir() / "a b";
  const fs::path dollar = tempDir() / "$(touch injected)";
  ASSERT_TRUE(launcher_.launch({LaunchTarget::bundleIdentifier, "org.example.Touch",
                                {spaced.string(), dollar.string()}, true}));
  EXPECT_TRUE(eventually([&] { return fs::exists(spaced) && fs::exists(dollar); }));
  EXPECT_FALSE(fs::exists(fs::current_path() / "injected"));
  EXPECT_TRUE(eventually([&] { return launcher_.runningChildren().empty(); }));  // reaped

  ASSERT_TRUE(launcher_.launch({LaunchTarget::path, "/bin/sleep", {"30"}, true}));
  const auto children = launcher_.runningChildren();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(::getsid(children[0]), children[0]);
  EXPECT_NE(::getsid(children[0]), ::getsid(0));
}

// However a start's processes part from the one started, they carry its mark, and are seen running by it; a mark
// tilvane inherited is not passed on; a start that ended with an error is known as failed.
TEST_F(X11LauncherTest, EveryProcessOfAStartCarriesItsMarkAndAFailedStartIsKnown) {
  const test::ScopedEnv inherited("TILVANE_LAUNCH_MARK", "tilvane's own");
  const struct {
    const char* how;
    std::string script, mark;
    bool fails;
  } cases[] = {
      {"a child left in the background", "sleep 30 & echo $! > \"$0\"", "item-1", false},
      {"a double fork", "setsid -f sh -c 'echo $$ > \"$0\"; exec sleep 30' \"$0\"", "item-2", false},
      {"a start ending with an error", "sleep 30 & echo $! > \"$0\"; exit 3", "item-3", true},
      {"a start without a mark", "sleep 30 & echo $! > \"$0\"", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    const fs::path file = tempDir() / ("pid-of" + c.mark);
    fs::remove(file);
    const LaunchRequest request{LaunchTarget::path, "/bin/sh", {"-c", c.script, file}, true, false, {}, c.mark};
    const double before = launcher_.processClockNow();
    ASSERT_TRUE(launcher_.launch(request));
    pid_t left = 0;
    ASSERT_TRUE(eventually([&] { return (std::ifstream(file) >> left) && left > 0; }));
    const std::shared_ptr<void> end(nullptr, [&](void*) { ::kill(left, SIGKILL); });
    ASSERT_TRUE(eventually([&] { return launcher_.runningChildren().empty(); }));
    // Read as it runs sleep, however soon after its exec.
    const auto comm = "/proc/" + std::to_string(left) + "/comm";
    ASSERT_TRUE(eventually([&] { return test::readFile(comm) == "sleep\n"; }));
    EXPECT_EQ(launcher_.markOf(left), c.mark.empty() ? std::nullopt : std::optional(c.mark));
    EXPECT_EQ(launcher_.startFailed(request), c.fails);
    // What is left of the start runs on, though not started after a later moment; then it has ended.
    EXPECT_EQ(launcher_.markedProcessRuns(c.mark, before), !c.mark.empty());
    EXPECT_FALSE(launcher_.markedProcessRuns(c.mark, launcher_.processClockNow() + 1));
    ::kill(left, SIGKILL);
    EXPECT_TRUE(eventually([&] { return !launcher_.markedProcessRuns(c.mark, before); }));
  }
}

// However often a process of a start execs another program, it reads as carrying its mark all along.
TEST_F(X11LauncherTest, AProcessCarriesItsMarkThroughEachOfItsExecs) {
  const fs::path chain = tempDir() / "chain";
  std::ofstream(chain) << "#!/bin/sh\n[ \"$1\" -gt 0 ] && exec \"$0\" $(($1 - 1))\nexec sleep 30\n";
  fs::permissions(chain, fs::perms::owner_all);
  ASSERT_TRUE(launcher_.launch({LaunchTarget::path, chain.string(), {"40"}, true, false, {}, "item-9"}));
  const pid_t pid = launcher_.runningChildren().at(0);
  const std::shared_ptr<void> end(nullptr, [&](void*) { ::kill(pid, SIGKILL); });
  const auto comm = "/proc/" + std::to_string(pid) + "/comm";
  std::size_t reads = 0, unmarked = 0;
  for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
       test::readFile(comm) != "sleep\n" && std::chrono::steady_clock::now() < until; ++reads)
    if (launcher_.markOf(pid) != "item-9") ++unmarked;
  EXPECT_EQ(test::readFile(comm), "sleep\n");
  EXPECT_EQ(launcher_.markOf(pid), "item-9");
  EXPECT_EQ(unmarked, 0u) << "of " << reads << " reads";
}

// A program a start ran is the child of what ran it while both run; an ended process has no parent to tell.
TEST_F(X11LauncherTest, AProcessNamesItsParentUntilItEnds) {
  const fs::path file = tempDir() / "pid-of-child";
  ASSERT_TRUE(launcher_.launch({LaunchTarget::path, "/bin/sh", {"-c", "sleep 30 & echo $! > \"$0\"; wait", file.string()}, true}));
  const pid_t shell = launcher_.runningChildren().at(0);
  pid_t child = 0;
  ASSERT_TRUE(eventually([&] { return (std::ifstream(file) >> child) && child > 0; }));
  const std::shared_ptr<void> end(nullptr, [&](void*) { ::kill(child, SIGKILL); });
  EXPECT_EQ(launcher_.parentProcess(child), shell);
  EXPECT_EQ(launcher_.parentProcess(shell), ::getpid());
  ::kill(child, SIGKILL);
  EXPECT_TRUE(eventually([&] { return !launcher_.parentProcess(child) && !launcher_.parentProcess(shell); }));
}

// A process started after a moment never reads as started before it, whatever its name holds.
TEST_F(X11LauncherTest, AProcessStartedLaterIsNotBeforeAnEarlierMoment) {
  const fs::path program = tempDir() / "sl) 1 2 (ep";
  fs::copy_file("/bin/sleep", program);
  const double before = launcher_.processClockNow();
  ASSERT_TRUE(launcher_.launch({LaunchTarget::path, program.string(), {"30"}, true}));
  const pid_t child = launcher_.runningChildren().at(0);
  const auto started = launcher_.processStartTime(child);
  ASSERT_TRUE(started);
  EXPECT_GE(*started, before);
  EXPECT_LE(*started, launcher_.processClockNow());
  EXPECT_LT(launcher_.processStartTime(1).value_or(before), before);  // init, there before anything
}

TEST_F(X11LauncherTest, ARunningApplicationIsBroughtForwardNotStartedAgain) {
  entry("org.example.Editor.desktop", "Exec=touch %F\n");
  const pid_t editor = sim_.applications().addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  const pid_t other = sim_.applications().addApplication({.bundleIdentifier = "org.example.Other", .windows = {{}}});
  sim_.applications().focusWindow(sim_.applications().windowsOf(other).front());

  EXPECT_TRUE(launcher_.launch({LaunchTarget::bundleIdentifier, "org.example.Editor", {}, false}));
  EXPECT_TRUE(launcher_.runningChildren().empty());
  EXPECT_EQ(SIWindow::focusedWindow()->processIdentifier(), editor);

  // Also one that no desktop entry names (its bundle identifier is its window class).
  const pid_t classOnly = sim_.applications().addApplication({.bundleIdentifier = "OtherClass", .windows = {{}}});
  EXPECT_TRUE(launcher_.launch({LaunchTarget::bundleIdentifier, "OtherClass", {}, false}));
  EXPECT_EQ(SIWindow::focusedWindow()->processIdentifier(), classOnly);
  EXPECT_FALSE(launcher_.launch({LaunchTarget::bundleIdentifier, "OtherClass", {"x"}, true}));

  // With something to open, the application itself decides what to do with it: it is started.
  const fs::path opened = tempDir() / "opened";
  EXPECT_TRUE(launcher_.launch({LaunchTarget::bundleIdentifier, "org.example.Editor", {opened.string()}, true}));
  EXPECT_TRUE(eventually([&] { return fs::exists(opened); }));
}

TEST_F(X11LauncherTest, ARepeatedLaunchWhileStartingDoesNotStartASecondInstance) {
  entry("org.example.Slow.desktop", "Exec=sleep 30\n");
  const LaunchRequest request{LaunchTarget::bundleIdentifier, "org.example.Slow", {}, false};
  EXPECT_TRUE(launcher_.launch(request));
  EXPECT_TRUE(launcher_.launch(request));
  EXPECT_EQ(launcher_.runningChildren().size(), 1u);
  advance(11);  // still no window after 10 s: a launch starts it again
  EXPECT_TRUE(launcher_.launch(request));
  EXPECT_EQ(launcher_.runningChildren().size(), 2u);
}

TEST_F(X11LauncherTest, ARepeatIsHeldBackOnlyUntilItsProcessShowsAWindow) {
  entry("org.example.Slow.desktop", "Exec=sleep %F\n");
  const LaunchRequest request{LaunchTarget::bundleIdentifier, "org.example.Slow", {"30"}, true};
  EXPECT_TRUE(launcher_.launch(request));
  EXPECT_TRUE(launcher_.launch(request));
  ASSERT_EQ(launcher_.runningChildren().size(), 1u);
  // Its window is there to be taken: the same request again asks for another.
  sim_.applications().scriptWindowList(
      std::vector<CGWindowInfo>{{.windowNumber = 7, .ownerPID = launcher_.runningChildren()[0]}});
  EXPECT_TRUE(launcher_.launch(request));
  EXPECT_EQ(launcher_.runningChildren().size(), 2u);
}

TEST_F(X11LauncherTest, ANewInstanceStartsBesideARunningOneAndWaitsOnlyForItsOwnStart) {
  entry("org.example.Term.desktop", "Exec=sleep 30\n");
  const pid_t running = sim_.applications().addApplication({.bundleIdentifier = "org.example.Term", .windows = {{}}});
  const pid_t other = sim_.applications().addApplication({.bundleIdentifier = "org.example.Other", .windows = {{}}});
  const AXUIElement otherWindow = sim_.applications().windowsOf(other).front();
  sim_.applications().focusWindow(otherWindow);
  const LaunchRequest newOne{LaunchTarget::bundleIdentifier, "org.example.Term", {}, false, true};

  // Not brought forward: started, though it runs.
  EXPECT_TRUE(launcher_.launch(newOne));
  EXPECT_EQ(SIWindow::focusedWindow()->axElement(), otherWindow);
  ASSERT_EQ(launcher_.runningChildren().size(), 1u);
  const pid_t started = launcher_.runningChildren()[0];
  // Asked again while the new one has no window: nothing more.
  EXPECT_TRUE(launcher_.launch(newOne));
  EXPECT_EQ(launcher_.runningChildren().size(), 1u);
  // Once it shows a window another new instance starts, where a plain request brings a window forward.
  sim_.applications().scriptWindowList(std::vector<CGWindowInfo>{{.windowNumber = 7, .ownerPID = started}});
  EXPECT_TRUE(launcher_.launch({LaunchTarget::bundleIdentifier, "org.example.Term", {}, false}));
  EXPECT_EQ(SIWindow::focusedWindow()->processIdentifier(), running);
  EXPECT_EQ(launcher_.runningChildren().size(), 1u);
  EXPECT_TRUE(launcher_.launch(newOne));
  EXPECT_EQ(launcher_.runningChildren().size(), 2u);
}

}  // namespace
}  // namespace tilvane::x11
