// What the user does to a managed window right after Tilvane placed it is remembered, under each window manager of
// the matrix, also for a terminal: its size steps by character cells, so it never stands exactly on the frame
// asked for.
#include <gtest/gtest.h>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Models/CustomLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "TilvaneOnX11.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"
#include "support/x11/KeyboardUser.h"

namespace tilvane::test::x11 {
namespace {

constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9;

class ChangesAfterPlacementTest : public TilvaneOnX11Test {
 protected:
  /// A window of `pid` that Tilvane manages, once its own placement is over.
  void admit(pid_t pid, std::uint32_t window) {
    ASSERT_TRUE(waitUntil([&] { return tracked(pid); }));
    advance(1.0);
    ASSERT_TRUE(waitUntil([&] { return managed(window); }));
    advance(3.0);
  }
  pid_t pidOf(std::uint32_t window) { return SIWindow(*element(window)).processIdentifier(); }
};

TEST_F(ChangesAfterPlacementTest, AMoveAMomentAfterAHotKeyPlacedATerminalIsRemembered) {
  // The middle third: no whole number of character cells.
  const auto database = store::Database::open();
  database->write([&] { database->add(fixedLayout("Middle third", 3, 1, 2, kVK_ANSI_1)); });
  const auto terminal = startTerminal("TilvaneTerm", "Placed then moved");
  ASSERT_TRUE(terminal);
  std::optional<XRectangle> moved;
  {
    // The hot keys live on this run's connection: they go with it, before the restarts below.
    tilvane::x11::X11DesktopHotKeys hotKeys(desktop());
    HotKeyServer::Scope scope(hotKeys.server());
    const std::shared_ptr<void> stop(nullptr, [this](void*) { stopTilvane(); });
    startTilvane();

    ASSERT_NO_FATAL_FAILURE(admit(pidOf(*terminal), *terminal));
    ASSERT_TRUE(SIWindow(*element(*terminal)).focusWindow());
    ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == *terminal; }));
    KeyboardUser(display()).typeKeysym({kControlL, kAltL}, '1');
    ASSERT_TRUE(waitUntil([&] { return probe().frameRect(*terminal)->x == 640; }))
        << *probe().frameRect(*terminal);
    catchUp();  // the window manager's answer is seen

    // 0.2 s later the user drags it sideways (it is as high as the screen).
    advance(0.2);
    const auto placed = probe().frameRect(*terminal);
    ASSERT_EQ(runCommand({"xdotool", "windowmove", std::to_string(*terminal), "300", std::to_string(placed->y)}),
              0);
    ASSERT_TRUE(waitUntil([&] { return probe().frameRect(*terminal)->x == 300; }));
    moved = probe().frameRect(*terminal);
    catchUp();
    stopTilvane();  // quitting writes what waits
  }

  const auto stored = records("TilvaneTerm");
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_DOUBLE_EQ(stored[0]->x(), 300.0 / 1920.0);
  EXPECT_DOUBLE_EQ(stored[0]->y(), moved->y / 1056.0);
  // The size stored is the window's own (a height above 96 % of the screen's counts as all of it), so the starts
  // that put it back leave it as it is.
  EXPECT_NEAR(stored[0]->width() * 1920, moved->width, 1.0);
  EXPECT_NEAR(stored[0]->height() * 1056, moved->height > 0.96 * 1056 ? 1056 : moved->height, 1.0);
  for (int start = 1; start <= 5; ++start) {
    SCOPED_TRACE("start " + std::to_string(start));
    restartTilvane();
    ASSERT_NO_FATAL_FAILURE(admit(pidOf(*terminal), *terminal));
    catchUp();
    const auto now = probe().frameRect(*terminal);
    EXPECT_NEAR(now->x, moved->x, 1);
    EXPECT_NEAR(now->y, moved->y, 1);
    EXPECT_NEAR(now->width, moved->width, 1);
    EXPECT_NEAR(now->height, moved->height, 1);
  }
}

// Every placement of the program is told by the frame it asked for, not by a quiet time after it: the user's move
// a second after a window was taken in, or after "Lay Out All Windows", is the user's and is remembered.
TEST_F(ChangesAfterPlacementTest, AMoveASecondAfterTheProgramLaidTheWindowOutIsRemembered) {
  storeRecord("TilvaneTakenIn", 0, CGRectMake(0.5, 0, 0.25, 0.5));
  startTilvane();
  auto& client = launchClient({"--class", "takenin,TilvaneTakenIn", "--title", "Taken in"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(client.window(), {960, 0, 480, 528})) << *probe().frameRect(client.window());
  const struct {
    const char* after;
    bool layoutAll;
    int x, y;
  } moves[] = {{"taken in", false, 300, 200}, {"Lay Out All Windows", true, 500, 100}};
  for (const auto& move : moves) {
    SCOPED_TRACE(move.after);
    if (move.layoutAll) LayoutManager::shared().layoutAll();
    catchUp();
    advance(1.0);
    ASSERT_EQ(runCommand({"xdotool", "windowmove", std::to_string(client.window()), std::to_string(move.x),
                          std::to_string(move.y)}),
              0);
    ASSERT_TRUE(waitUntil([&] { return probe().frameRect(client.window())->x == move.x; }));
    catchUp();
    advance(LayoutManager::kQuietPeriod);
    const auto stored = records("TilvaneTakenIn");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_DOUBLE_EQ(stored[0]->x(), move.x / 1920.0);
    EXPECT_DOUBLE_EQ(stored[0]->y(), probe().frameRect(client.window())->y / 1056.0);
  }
}

// With gaps, a layout or a start puts a terminal a gap inside its record, and some window managers round it to its
// cells: not the user's moves. A layout half a second after the user's move places it by that move, which stays:
// the record is the place that puts the terminal back where the user left it, the gap added back.
// Whether `place` asks for `pixels` (within 2) on the 1920 x 1056 visible frame, whatever gap it was taken with.
::testing::AssertionResult near(const RecordedPlace& place, const CGRect& pixels) {
  const double g = place.gutter;
  const CGRect f = place.fractions;
  const CGRect asked = CGRectMake(f.origin.x * (1920 + 2 * g) - g, f.origin.y * (1056 + 2 * g) - g,
                                  f.size.width * (1920 + 2 * g), f.size.height * (1056 + 2 * g));
  if (std::abs(asked.minX() - pixels.minX()) <= 2 && std::abs(asked.minY() - pixels.minY()) <= 2 &&
      std::abs(asked.maxX() - pixels.maxX()) <= 2 && std::abs(asked.maxY() - pixels.maxY()) <= 2)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the record asks for " << asked << ", not " << pixels;
}

TEST_F(ChangesAfterPlacementTest, WithGapsOnlyTheUsersMoveChangesATerminalsRecordEvenRightBeforeALayout) {
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  storeRecord("TilvaneGapped", 0, CGRectMake(0.25, 0.25, 0.5, 0.5));
  const auto terminal = startTerminal("TilvaneGapped", "Gapped");
  ASSERT_TRUE(terminal);
  const auto recorded = [&](int x, const CGRect& pixels) {
    EXPECT_TRUE(waitUntil([&] { return probe().frameRect(*terminal)->x == x; })) << *probe().frameRect(*terminal);
    catchUp();
    advance(LayoutManager::kQuietPeriod + 0.1);
    EXPECT_TRUE(near(recordedPlaceOf(*records("TilvaneGapped").at(0)), pixels));
  };
  for (const std::string what : {"start", "layout", "layout", "layout", "restart", "restart", "restart"}) {
    SCOPED_TRACE(what);
    if (what == "layout") {
      LayoutManager::shared().layoutAll();
    } else {
      what == "start" ? startTilvane() : restartTilvane();
      ASSERT_TRUE(waitUntil([&] { return tracked(pidOf(*terminal)); }));
      advance(1.0);
      ASSERT_TRUE(waitUntil([&] { return managed(*terminal); }));
    }
    recorded(488, CGRectMake(480, 264, 960, 528));
  }
  const auto placed = *probe().frameRect(*terminal);
  ASSERT_EQ(runCommand({"xdotool", "windowmove", std::to_string(*terminal), "333", "222"}), 0);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(*terminal)->x == 333; }));
  catchUp();
  advance(0.5);
  LayoutManager::shared().layoutAll();
  recorded(333, CGRectMake(325, 214, placed.width + 16, placed.height + 16));
  stopTilvane();
  StoreService::shared().configureRealm();
  EXPECT_TRUE(near(recordedPlaceOf(*records("TilvaneGapped").at(0)), CGRectMake(325, 214, placed.width + 16,
                                                                                 placed.height + 16)))
      << "after quitting";
}

// A window that comes onto the desktop shown, from a desktop not shown since the program started, is taken in at
// once: its rule places it without waiting for a desktop switch.
TEST_F(ChangesAfterPlacementTest, AWindowBroughtFromAnUnvisitedDesktopIsTakenInAtOnce) {
  auto rule = std::make_shared<RuleLayoutModel>();
  rule->setId("TilvaneElsewhere");
  rule->setType(static_cast<std::int64_t>(RuleLayoutType::fix));
  rule->setWidth(2);  // the right half
  rule->setHeight(1);
  rule->setMatrixValue(1);
  const auto database = store::Database::open();
  database->write([&] { database->add(rule); });
  auto& client = launchClient({"--class", "elsewhere,TilvaneElsewhere", "--title", "Elsewhere"});
  ASSERT_EQ(runCommand({"wmctrl", "-i", "-r", std::to_string(client.window()), "-t", "2"}), 0);
  ASSERT_TRUE(waitUntil([&] { return probe().desktopOf(client.window()) == 2; }));
  startTilvane();
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  catchUp();
  ASSERT_FALSE(managed(client.window())) << "a window on a desktop not shown waits until it is shown";

  ASSERT_EQ(runCommand({"wmctrl", "-i", "-r", std::to_string(client.window()), "-t", "0"}), 0);
  ASSERT_TRUE(waitUntil([&] { return managed(client.window()); }));
  ASSERT_TRUE(frameBecomes(client.window(), {960, 0, 960, 1056})) << *probe().frameRect(client.window());
  EXPECT_EQ(ScreenManager::shared().activedSpaces().count(2), 0u) << "desktop 2 was never shown";
}

}  // namespace
}  // namespace tilvane::test::x11
