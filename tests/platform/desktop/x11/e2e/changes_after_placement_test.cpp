// What the user does to a managed window right after Tilvane placed it is remembered, under each window manager of
// the matrix, also for a terminal: its size steps by character cells, so it never stands exactly on the frame
// asked for.
#include <gtest/gtest.h>

#include "Models/CustomLayoutModel.h"
#include "TilvaneOnX11.h"
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
  tilvane::x11::X11DesktopHotKeys hotKeys(desktop());
  HotKeyServer::Scope scope(hotKeys.server());
  const std::shared_ptr<void> stop(nullptr, [this](void*) { stopTilvane(); });
  startTilvane();

  const auto terminal = startTerminal("TilvaneTerm", "Placed then moved");
  ASSERT_TRUE(terminal);
  ASSERT_NO_FATAL_FAILURE(admit(pidOf(*terminal), *terminal));
  ASSERT_TRUE(SIWindow(*element(*terminal)).focusWindow());
  ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == *terminal; }));
  KeyboardUser(display()).typeKeysym({kControlL, kAltL}, '1');
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(*terminal)->x == 640; })) << *probe().frameRect(*terminal);
  catchUp();  // the window manager's answer is seen

  // 0.2 s later the user drags it elsewhere.
  advance(0.2);
  ASSERT_EQ(runCommand({"xdotool", "windowmove", std::to_string(*terminal), "300", "200"}), 0);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(*terminal)->x == 300; }));
  // Window managers that keep frames inside the monitor (icewm) move this full-height one only sideways.
  const auto moved = probe().frameRect(*terminal);
  catchUp();
  stopTilvane();  // quitting writes what waits

  const auto stored = records("TilvaneTerm");
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_DOUBLE_EQ(stored[0]->x(), 300.0 / 1920.0);
  EXPECT_DOUBLE_EQ(stored[0]->y(), moved->y / 1056.0);
}

}  // namespace
}  // namespace tilvane::test::x11
