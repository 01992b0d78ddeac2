// Tilvane arranging real windows on the test desktop, under each window manager of the matrix: one 1920x1080
// monitor whose visible frame, less the 24-pixel tray at the bottom, is (0, 0, 1920, 1056) in the window space.
// Frames are visible frames: the window manager's decoration lies inside the rectangle the layout gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "AppManager/Catalogue/AppManager.h"
#include "Models/CustomLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "Shortcuts/ShortcutsManager.h"
#include "TilvaneOnX11.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"
#include "support/windows/LauncherByHand.h"
#include "support/x11/KeyboardUser.h"

namespace tilvane::test::x11 {
namespace {

class TilvaneLayoutTest : public TilvaneOnX11Test {};

TEST_F(TilvaneLayoutTest, ANewWindowGoesToItsRememberedPlace) {
  storeRecord("TilvaneE2E", 0, CGRectMake(0.25, 0.25, 0.5, 0.5));
  startTilvane();
  auto& client = launchClient({"--class", "e2e,TilvaneE2E", "--title", "Remembered", "--windows", "2"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);  // the application's visible windows are admitted a second after it is tracked
  ASSERT_TRUE(frameBecomes(client.window(0), {480, 264, 960, 528})) << *probe().frameRect(client.window(0));
  const auto e = probe().extents(client.window(0), "_NET_FRAME_EXTENTS");  // left, right, top, bottom
  EXPECT_EQ(probe().clientRect(client.window(0)),
            (XRectangle{480 + e[0], 264 + e[2], 960 - e[0] - e[1], 528 - e[2] - e[3]}));
  // The second window has no place of its own: it inherits its sibling's, and has its own record from now on.
  ASSERT_TRUE(frameBecomes(client.window(1), {480, 264, 960, 528})) << *probe().frameRect(client.window(1));
  EXPECT_EQ(records("TilvaneE2E").size(), 2u);
}

TEST_F(TilvaneLayoutTest, AWindowMovedByTheUserReturnsThereAfterARestart) {
  startTilvane();
  auto& client = launchClient({"--class", "e2e,TilvaneDrag", "--title", "Dragged"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return managed(client.window()); }));
  advance(3.0);  // the program's own placement is no longer being laid out

  // Another program moves the window (a configure request, as a drag ends in).
  ASSERT_EQ(runCommand({"xdotool", "windowmove", std::to_string(client.window()), "300", "200"}), 0);
  ASSERT_TRUE(waitUntil([&] { return !LayoutManager::shared().updateQueue().empty(); }));
  advance(2.0);  // written after two quiet seconds
  ASSERT_EQ(records("TilvaneDrag").size(), 1u);
  EXPECT_DOUBLE_EQ(records("TilvaneDrag")[0]->x(), 300.0 / 1920.0);
  EXPECT_DOUBLE_EQ(records("TilvaneDrag")[0]->y(), 200.0 / 1056.0);
  const auto seen = probe().frameRect(client.window());
  ASSERT_TRUE(seen);

  restartTilvane([&] {
    // While Tilvane is not running the window goes elsewhere.
    probe().moveResize(client.window(), {20, 30, 400, 300});
    ASSERT_TRUE(waitUntil([&] { return probe().frameRect(client.window())->x == 20; }));
  });
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(client.window(), {300, 200, seen->width, seen->height})) << *probe().frameRect(client.window());
}

TEST_F(TilvaneLayoutTest, ANewWindowOfAnApplicationWithAFixedRuleLandsOnTheRule) {
  storeRightHalfRule("TilvaneRuled");
  startTilvane();
  auto& client = launchClient({"--class", "ruled,TilvaneRuled", "--title", "Ruled"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(client.window(), {960, 0, 960, 1056})) << *probe().frameRect(client.window());
}

TEST_F(TilvaneLayoutTest, ARuleForAProgramAddedFromALauncherOutsideTheApplicationsFoldersPlacesItsNextWindow) {
  // A launcher on the user's desktop, added by hand: the catalogue names it, the rule is stored under that name.
  const auto launcher = tempDir() / "Desktop" / "myterm.desktop";
  std::filesystem::create_directories(launcher.parent_path());
  std::ofstream(launcher) << "[Desktop Entry]\nType=Application\nName=My Term\nExec=myterm\n"
                             "StartupWMClass=TilvaneMyTerm\n";
  const auto app = AppManager::shared().appInfo(launcher.string());
  ASSERT_TRUE(app);
  storeRightHalfRule(app->bundleID);

  startTilvane();
  auto& client = launchClient({"--class", "myterm,TilvaneMyTerm", "--title", "My Term"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(client.window(), {960, 0, 960, 1056}))
      << app->bundleID << " at " << *probe().frameRect(client.window());
}

TEST_F(TilvaneLayoutTest, ALaunchersRuleFindsItsProgramsWindowsWhoseClassDiffersInCaseOrIsTakenFromThem) {
  // Added with "+", no StartupWMClass: the class is guessed from the program, "Tilvaneclock", and the windows say
  // "TilvaneClock".
  const auto desktop = tempDir() / "Desktop";
  const std::string clock = addLauncherByHand(desktop, "tilvaneclock");
  EXPECT_EQ(clock, "Tilvaneclock");
  storeRightHalfRule(clock);
  // Any other rule is its application's alone, case and all.
  storeRightHalfRule("TilvaneOther");

  // A program that runs when its launcher is added gives its windows' class.
  auto& running = launchClient({"--class", "taken,TilvaneTakenClass", "--title", "Taken"});
  ASSERT_TRUE(waitUntil(
      [&] { return NSRunningApplication::runningApplicationWithProcessIdentifier(running.pid()).has_value(); }));
  const auto program = std::filesystem::read_symlink("/proc/" + std::to_string(running.pid()) + "/exe");
  std::ofstream(desktop / "taken.desktop")
      << "[Desktop Entry]\nType=Application\nName=Taken\nExec=" << program.string() << " --class t,TilvaneTaken\n";
  EXPECT_EQ(AppManager::shared().appInfo((desktop / "taken.desktop").string())->bundleID, "TilvaneTakenClass");

  auto& other = launchClient({"--class", "tilvaneother,Tilvaneother", "--title", "Other"});
  ASSERT_TRUE(probe().syncWindowManager());
  const auto otherBefore = probe().frameRect(other.window());
  ASSERT_TRUE(otherBefore);

  startTilvane();
  auto& client = launchClient({"--class", "tilvaneclock,TilvaneClock", "--title", "Clock"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()) && tracked(other.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(client.window(), {960, 0, 960, 1056})) << *probe().frameRect(client.window());
  ASSERT_TRUE(managed(other.window()));
  advance(1.0);  // whatever layout the window was given is done
  ASSERT_TRUE(probe().syncWindowManager());
  waitUntil([] { return true; });
  EXPECT_EQ(probe().frameRect(other.window()), otherBefore) << *otherBefore;
}

TEST_F(TilvaneLayoutTest, DesktopSwitchesAreSeen) {
  startTilvane();
  probe().switchDesktop(2);
  ASSERT_TRUE(waitUntil([&] { return ScreenManager::shared().activedSpaces().count(2) == 1; }));
  EXPECT_EQ(ScreenManager::shared().currentSpaces(), std::set<int>{2});
}

TEST_F(TilvaneLayoutTest, GarbagePropertiesAndAWindowDestroyedMidLayoutCrashNothing) {
  storeRecord("TilvaneDoomed", 0, CGRectMake(0, 0, 0.5, 0.5));
  storeRecord("TilvaneLater", 0, CGRectMake(0.5, 0.5, 0.5, 0.5));
  startTilvane();
  auto& garbage = launchClient({"--garbage"});
  auto& doomed = launchClient({"--class", "doomed,TilvaneDoomed", "--title", "Doomed"});
  ASSERT_TRUE(waitUntil([&] { return tracked(garbage.pid()) && tracked(doomed.pid()); }));
  // Right after the windows are admitted, before the layout operation has moved it, the window goes.
  loop().asyncAfter(1.0, [&] { probe().destroy(doomed.window()); });
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return !managed(doomed.window()); }));

  // Tilvane goes on working.
  auto& later = launchClient({"--class", "later,TilvaneLater", "--title", "Later"});
  ASSERT_TRUE(waitUntil([&] { return tracked(later.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(later.window(), {960, 528, 960, 528})) << *probe().frameRect(later.window());
}

TEST_F(TilvaneLayoutTest, ALayoutsHotKeyTypedByTheUserMovesTheFocusedWindow) {
  const auto database = store::Database::open();
  database->write([&] { database->add(fixedLayout("Right half", 2, 1, 1, kVK_ANSI_1)); });
  tilvane::x11::X11DesktopHotKeys hotKeys(desktop());
  HotKeyServer::Scope scope(hotKeys.server());
  const std::shared_ptr<void> stop(nullptr, [this](void*) { stopTilvane(); });  // keys go while the server is here
  startTilvane();  // registers the stored layout's hot key

  auto& client = launchClient({"--class", "hotkey,TilvaneHotKey", "--title", "Hot key target"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return managed(client.window()); }));
  ASSERT_TRUE(SIWindow(*element(client.window())).focusWindow());
  ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == client.window(); }));
  KeyboardUser(display()).typeKeysym({0xffe3, 0xffe9}, '1');  // Control_L, Alt_L
  ASSERT_TRUE(frameBecomes(client.window(), {960, 0, 960, 1056})) << *probe().frameRect(client.window());
}

}  // namespace
}  // namespace tilvane::test::x11
