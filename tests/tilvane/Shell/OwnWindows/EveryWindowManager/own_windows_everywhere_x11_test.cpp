// Tilvane's own windows minimised again and again, as users and pagers leave them, under every window manager
// of the matrix: asked for, they come back every time, and nothing the program sends harms the window manager.
#include <signal.h>

#include "tilvane/Shell/OwnWindows/OwnWindowsTest.h"

namespace tilvane::test::x11 {
namespace {

struct OwnWindow {
  const char* target;
  const char* title;
  int trayEntry;  // places above the tray menu's end
};
constexpr OwnWindow kOwnWindows[] = {{"preferences", "Tilvane Preferences", 5},
                                     {"advanced", "Tilvane Advanced", 6}};
constexpr int kDesktops = 4;

class OwnWindowsEverywhereTest : public OwnWindowsTest {
 protected:
  void TearDown() override {
    setPump({});
    OwnWindowsTest::TearDown();
  }

  void goToDesktop(int n) {
    probe().switchDesktop(n);
    ASSERT_TRUE(waitUntil([&] { return probe().currentDesktop() == n; })) << "desktop " << n << " not shown";
  }

  void askFor(const OwnWindow& own, bool fromTheTray, xcb_window_t window) {
    if (fromTheTray) {
      chooseFromTray(own.trayEntry, [&] { return withTheUser(window); });
    } else {
      startAgain({std::string("tilvane://action?target=") + own.target});
    }
  }

  /// Each own window minimised eight times, the user going on to the next desktop on odd cycles and staying on
  /// even ones, then asked for by link or through the tray menu: back every time on the desktop shown, not
  /// minimised, active, never flagged as demanding attention (a refused or late activation), and never
  /// activated by the toolkit on its own (the tray menu's close handing the focus back to a window minimised a
  /// moment before, held back until the window's next map).
  void minimiseAndAskAgain(bool fromTheTray) {
    start();
    for (const OwnWindow& own : kOwnWindows) {
      SCOPED_TRACE(own.title);
      const xcb_window_t window = open(own.target, own.title);
      ASSERT_NE(window, 0u);
      AttentionWatch watch(display(), window);
      setPump([&] { watch.flagged(); });
      for (int cycle = 1; cycle <= 8 && !HasFatalFailure(); ++cycle) {
        const std::string road = (fromTheTray ? "tray " : "url ") + std::to_string(cycle);
        minimise(window);
        if (cycle % 2 == 1 && !HasFatalFailure()) goToDesktop((probe().currentDesktop() + 1) % kDesktops);
        if (HasFatalFailure()) break;
        const int here = probe().currentDesktop();
        askFor(own, fromTheTray, window);
        expectBroughtBack(window, road);
        EXPECT_EQ(probe().currentDesktop(), here) << road << ": the window comes to the user, not the user to it";
      }
      probe().syncWindowManager();
      EXPECT_EQ(watch.flagged(), 0) << "flagged as demanding attention";
      EXPECT_EQ(watch.toolkitActivations(), 0) << "activated by the toolkit, not by the one request";
      setPump({});
      if (HasFatalFailure()) return;
    }
  }
};

TEST_F(OwnWindowsEverywhereTest, MinimisedAgainAndAgainTheyComeBackByLink) { minimiseAndAskAgain(false); }

TEST_F(OwnWindowsEverywhereTest, MinimisedAgainAndAgainTheyComeBackFromTheTray) { minimiseAndAskAgain(true); }

// A window a pager minimised and moved to another desktop, brought back twice, then gone (closed, or the program
// quit): the window manager keeps no trace of it that a later desktop move of another window would trip on.
TEST_F(OwnWindowsEverywhereTest, TheWindowManagerOutlivesAWindowAPagerSentAwayMinimised) {
  for (const bool quit : {false, true}) {
    SCOPED_TRACE(quit ? "the program quit" : "the window closed");
    start();
    const xcb_window_t window = open("advanced", "Tilvane Advanced");
    ASSERT_NE(window, 0u);
    for (int cycle = 1; cycle <= 2; ++cycle) {
      minimise(window);
      ASSERT_FALSE(HasFatalFailure());
      // The pager's move (a _NET_WM_DESKTOP request); the user stays.
      ASSERT_EQ(runCommand({"wmctrl", "-i", "-r", std::to_string(window), "-t", "2"}), 0);
      ASSERT_TRUE(waitUntil([&] { return probe().desktopOf(window) == 2; })) << "not moved by the pager";
      startAgain({"tilvane://action?target=advanced"});
      expectBroughtBack(window, "url " + std::to_string(cycle));
      EXPECT_EQ(probe().currentDesktop(), 0);
    }
    const auto listed = [&] {
      const auto clients = probe().clientList();
      return std::find(clients.begin(), clients.end(), window) != clients.end();
    };
    if (quit) {
      kill(program_->pid(), SIGTERM);
      std::string rest;
      EXPECT_EQ(exitCode(*program_, rest, 20.0), 0) << rest;
      program_.reset();
    } else {
      ASSERT_EQ(runCommand({"wmctrl", "-i", "-c", std::to_string(window)}), 0);
    }
    ASSERT_TRUE(waitUntil([&] { return !listed(); })) << "the window stays";

    auto& other = launchClient({"--title", "Other"});
    for (const int desktop : {1, 2}) {
      ASSERT_EQ(runCommand({"wmctrl", "-i", "-r", std::to_string(other.window()), "-t", std::to_string(desktop)}),
                0);
      EXPECT_TRUE(waitUntil([&] { return probe().desktopOf(other.window()) == desktop || !windowManagerRuns(); }));
    }
    probe().syncWindowManager();
    ASSERT_TRUE(windowManagerRuns()) << "the window manager ended";
    other.quit();
    if (program_) {
      kill(program_->pid(), SIGTERM);
      std::string rest;
      exitCode(*program_, rest, 20.0);
      program_.reset();
    }
  }
}

}  // namespace
}  // namespace tilvane::test::x11
