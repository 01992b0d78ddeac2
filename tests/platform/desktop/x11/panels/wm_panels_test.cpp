// The window manager's own panel (fluxbox's toolbar, icewm's task bar; on the first monitor) is no client and
// reserves no strut: only the work area leaves it out. Tilvane keeps windows off it, and off nothing else.
#include <gtest/gtest.h>

#include "../e2e/TilvaneOnX11.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "Models/RuleLayoutModel.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane::test::x11 {
namespace {

class WindowManagerPanelTest : public TilvaneOnX11Test {
 protected:
  /// The height the work area leaves the first monitor: the panel lies below it.
  std::int64_t aboveThePanel() {
    const auto area = probe().cardinals(probe().root(), "_NET_WORKAREA");
    return area.size() >= 4 ? area[3] : 0;
  }
  /// Starts a client of class `bundle` and waits until Tilvane has admitted (and laid out) its window.
  std::uint32_t admitted(const std::string& bundle) {
    auto& client = launchClient({"--class", "panel," + bundle, "--title", bundle});
    EXPECT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
    advance(1.0);
    EXPECT_TRUE(waitUntil([&] { return managed(client.window()); }));
    return client.window();
  }
};

TEST_F(WindowManagerPanelTest, BottomHalfEndsAboveThePanel) {
  startTilvane();
  const std::int64_t height = aboveThePanel();
  ASSERT_GT(height, 1000);
  ASSERT_LT(height, 1080);
  const std::uint32_t window = admitted("TilvaneBottom");
  probe().moveResize(window, {100, 100, 400, 300});  // on the panel's monitor
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(window)->x == 100; }));
  BuildInLayoutActionController::shared().applyLayoutType(SIWindow(*element(window)), LayoutNode::Type::halfBottom);
  const XRectangle expected{0, static_cast<std::int16_t>(height / 2), 1920, static_cast<std::uint16_t>(height / 2)};
  EXPECT_TRUE(frameBecomes(window, expected)) << "expected " << expected << ", got " << *probe().frameRect(window);
}

TEST_F(WindowManagerPanelTest, ARightHalfRuleKeepsATerminalsTitleBarOnTheScreenAndTheOtherMonitorWhole) {
  if (NSScreen::screens().size() != 2) GTEST_SKIP() << "one monitor";
  auto rule = std::make_shared<RuleLayoutModel>();
  rule->setId("TilvanePanelTerm");
  rule->setType(static_cast<std::int64_t>(RuleLayoutType::fix));
  rule->setWidth(2);  // a 2 x 1 grid with its right cell selected: the right half
  rule->setHeight(1);
  rule->setMatrixValue(1);
  const auto database = store::Database::open();
  database->write([&] { database->add(rule); });
  // A window remembered on the right half of the right monitor.
  storeRecord("TilvanePanelRight", 0, CGRectMake(0.5, 0, 0.5, 1), 2, 1);
  startTilvane();

  // A terminal on the panel's monitor: sized in character cells, so it ends short of the frame asked for, but
  // inside it: under the title bar's top at 0, above the panel.
  const auto terminal = startTerminal("TilvanePanelTerm", "Panel term");
  ASSERT_TRUE(terminal);
  const auto pid = probe().cardinals(*terminal, "_NET_WM_PID");
  ASSERT_EQ(pid.size(), 1u);
  ASSERT_TRUE(waitUntil([&] { return tracked(static_cast<pid_t>(pid[0])); }));
  advance(1.0);
  const std::int64_t height = aboveThePanel();
  EXPECT_TRUE(waitUntil([&] {
    const auto f = probe().frameRect(*terminal);
    return f && f->x == 960 && f->y == 0 && f->y + f->height <= height && f->y + f->height > height - 20;
  })) << *probe().frameRect(*terminal);

  // The panel is not the right monitor's: a window there gets the monitor's whole height.
  const std::uint32_t window = admitted("TilvanePanelRight");
  EXPECT_TRUE(frameBecomes(window, {2880, 0, 960, 1080})) << *probe().frameRect(window);
  // A picture to look at: the terminal's title bar at the top, its bottom above the panel.
  EXPECT_EQ(runCommand({"import", "-display", display(), "-window", "root",
                        std::string(TILVANE_ARTEFACT_DIR) + "/right-half-over-panel-" + windowManager() + ".png"}),
            0);
}

}  // namespace
}  // namespace tilvane::test::x11
