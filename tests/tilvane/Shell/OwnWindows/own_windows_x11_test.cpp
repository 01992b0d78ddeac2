// Tilvane's own windows reached from wherever they are, as a user meets them on the X test desktop: the
// preferences minimised, or the advanced window left on another desktop, come back on the desktop shown,
// mapped and active, through the tray menu, the program's URL and (with the icon hidden) a second start.
#include <signal.h>

#include <sstream>

#include "tilvane/Shell/OwnWindows/OwnWindowsTest.h"

namespace tilvane::test::x11 {
namespace {
TEST_F(OwnWindowsTest, MinimisedPreferencesComeBackThroughTheURLAndTheTray) {
  start();
  const xcb_window_t preferences = open("preferences", "Tilvane Preferences");
  ASSERT_NE(preferences, 0u);

  minimise(preferences);
  startAgain({"tilvane://action?target=preferences"});
  expectBroughtBack(preferences, "url");

  minimise(preferences);
  chooseFromTray(5, [&] { return withTheUser(preferences); });  // "Preferences…"
  expectBroughtBack(preferences, "tray");
}

TEST_F(OwnWindowsTest, TheAdvancedWindowOnAnotherDesktopComesToTheDesktopShown) {
  start();
  const xcb_window_t advanced = open("advanced", "Tilvane Advanced");
  ASSERT_NE(advanced, 0u);

  leaveAway(advanced, 2, 0);
  startAgain({"tilvane://action?target=advanced"});
  expectBroughtBack(advanced, "url");
  EXPECT_EQ(probe().currentDesktop(), 0) << "the window comes to the user, not the user to the window";

  leaveAway(advanced, 2, 0);
  chooseFromTray(6, [&] { return withTheUser(advanced); });  // "Advanced…"
  expectBroughtBack(advanced, "tray");
  EXPECT_EQ(probe().currentDesktop(), 0);
}

TEST_F(OwnWindowsTest, TheAdvancedWindowSentAwayComesBackEveryTimeByLink) {
  sendAwayAndAskAgain("advanced", "Tilvane Advanced", 0, paceUnder(windowManager()));
}

TEST_F(OwnWindowsTest, TheAdvancedWindowSentAwayComesBackEveryTimeFromTheTray) {
  sendAwayAndAskAgain("advanced", "Tilvane Advanced", 6, paceUnder(windowManager()));  // "Advanced…"
}

TEST_F(OwnWindowsTest, ThePreferencesSentAwayComeBackEveryTimeByLink) {
  sendAwayAndAskAgain("preferences", "Tilvane Preferences", 0, paceUnder(windowManager()));
}

TEST_F(OwnWindowsTest, ThePreferencesSentAwayComeBackEveryTimeFromTheTray) {
  sendAwayAndAskAgain("preferences", "Tilvane Preferences", 5, paceUnder(windowManager()));  // "Preferences…"
}

TEST_F(OwnWindowsTest, WithTheIconHiddenASecondStartBringsThePreferencesBack) {
  start(/*hideIcon=*/true);
  startAgain();
  std::optional<xcb_window_t> preferences;
  ASSERT_TRUE(waitUntil([&] { return (preferences = windowTitled("Tilvane Preferences")).has_value(); }));
  expectBroughtBack(*preferences, "first reopen");

  minimise(*preferences);
  startAgain();
  expectBroughtBack(*preferences, "reopen after minimising");

  leaveAway(*preferences, 1, 0);
  startAgain();
  expectBroughtBack(*preferences, "reopen from another desktop");
}

TEST_F(OwnWindowsTest, WithTheIconShowingASecondStartOpensNothing) {
  start();
  startAgain();
  ASSERT_TRUE(readUntil(*program_, "reopen", output_, 10.0)) << output_;
  // The reopen is handled on the loop turn it arrives in; a URL handed over after it opens the advanced window,
  // so once that is there the reopen has long been acted on.
  startAgain({"tilvane://action?target=advanced"});
  ASSERT_TRUE(waitUntil([&] { return windowTitled("Tilvane Advanced").has_value(); }));
  EXPECT_FALSE(windowTitled("Tilvane Preferences").has_value());
}

// Only the program's own log lines reach the terminal: no toolkit warning (an icon shown before it has its
// image, say) among them, from the start to the end.
TEST_F(OwnWindowsTest, ANormalStartPrintsOnlyItsOwnLogLines) {
  start();
  open("preferences", "Tilvane Preferences");
  kill(program_->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program_, output_, 20.0), 0);
  program_.reset();
  std::istringstream lines(output_);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    const bool ours = line.rfind("ℹ️ ", 0) == 0 || line.rfind("⚠️ ", 0) == 0 || line.rfind("🔴 ", 0) == 0;
    EXPECT_TRUE(ours) << "not a line of the program's log: \"" << line << "\"";
  }
  EXPECT_GT(count, 10);
}

}  // namespace
}  // namespace tilvane::test::x11
