// The window manager's own panel (fluxbox's toolbar, icewm's task bar; on the first monitor) is no client and
// reserves no strut: only the work area leaves it out. Tilvane keeps windows off it, and off nothing else.
#include <gtest/gtest.h>

#include "../e2e/TilvaneOnX11.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane::test::x11 {
namespace {

class WindowManagerPanelTest : public TilvaneOnX11Test {
 protected:
  /// Where the work area ends: the panel's top.
  std::int64_t panelTop() { return probe().cardinals(probe().root(), "_NET_WORKAREA").at(3); }
  /// `window` of process `pid` once Tilvane has admitted (and laid out) it.
  std::uint32_t admitted(pid_t pid, std::uint32_t window) {
    EXPECT_TRUE(waitUntil([&] { return tracked(pid); }));
    advance(1.0);
    EXPECT_TRUE(waitUntil([&] { return managed(window); }));
    return window;
  }
  std::uint32_t admittedClient(const std::string& bundle) {
    const TestClient& client = launchClient({"--class", "panel," + bundle});
    return admitted(client.pid(), client.window());
  }
};

TEST_F(WindowManagerPanelTest, BottomHalfEndsAboveThePanel) {
  startTilvane();
  const std::uint32_t window = admittedClient("TilvaneBottom");
  probe().moveResize(window, {100, 100, 400, 300});  // on the panel's monitor
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(window)->x == 100; }));
  BuildInLayoutActionController::shared().applyLayoutType(SIWindow(*element(window)), LayoutNode::Type::halfBottom);
  const auto half = static_cast<std::uint16_t>(panelTop() / 2);
  EXPECT_TRUE(frameBecomes(window, {0, static_cast<std::int16_t>(half), 1920, half})) << *probe().frameRect(window);
}

TEST_F(WindowManagerPanelTest, ARightHalfRuleKeepsATerminalsTitleBarOnTheScreenAndTheOtherMonitorWhole) {
  if (NSScreen::screens().size() != 2) GTEST_SKIP() << "one monitor";
  storeRightHalfRule("TilvanePanelTerm");
  storeRecord("TilvanePanelRight", 0, CGRectMake(0.5, 0, 0.5, 1), 2, 1);  // the right monitor's right half
  startTilvane();
  // A terminal sizes in character cells: it ends short of the frame asked for, top at 0, bottom above the panel.
  const std::uint32_t terminal = *startTerminal("TilvanePanelTerm", "Panel term");
  admitted(static_cast<pid_t>(probe().cardinals(terminal, "_NET_WM_PID").at(0)), terminal);
  EXPECT_TRUE(waitUntil([&] {
    const auto f = probe().frameRect(terminal);
    return f->x == 960 && f->y == 0 && f->height <= panelTop() && f->height > panelTop() - 20;
  })) << *probe().frameRect(terminal);
  // The panel is not the right monitor's: a window there has the monitor's whole height.
  const std::uint32_t window = admittedClient("TilvanePanelRight");
  EXPECT_TRUE(frameBecomes(window, {2880, 0, 960, 1080})) << *probe().frameRect(window);
  EXPECT_EQ(runCommand({"import", "-display", display(), "-window", "root",
                        std::string(TILVANE_ARTEFACT_DIR) + "/right-half-over-panel-" + windowManager() + ".png"}),
            0);
}

}  // namespace
}  // namespace tilvane::test::x11
