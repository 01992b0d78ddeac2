// Tilvane on two monitors of unequal sizes: "small" (0, 0, 1280, 800) and "large" (1280, 0, 1920, 1080) beside
// it, tops level, no tray. With gaps on, a window the user left against the small display's edges, sent to the
// large one, lies inside it; sent back, it stands where the user left it.
#include <gtest/gtest.h>

#include "../e2e/TilvaneOnX11.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"

namespace tilvane::test::x11 {
namespace {

class UnequalDisplaysTest : public TilvaneOnX11Test {};

constexpr XRectangle kLarge{1280, 0, 1920, 1080};

bool inside(const XRectangle& f, const XRectangle& bounds) {
  return f.x >= bounds.x && f.y >= bounds.y && f.x + f.width <= bounds.x + bounds.width &&
         f.y + f.height <= bounds.y + bounds.height;
}

TEST_F(UnequalDisplaysTest, WindowsAgainstTheSmallDisplaysEdgesGoInsideTheLargeOneAndComeBackExactly) {
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  const std::uint32_t corner = startTerminal("TilvaneCorner", "Corner").value_or(0);
  const std::uint32_t filling = launchClient({"--class", "filling,TilvaneFilling", "--title", "Filling"}).window();
  startTilvane();
  advance(1.0);
  for (const std::uint32_t w : {corner, filling}) ASSERT_TRUE(waitUntil([&] { return managed(w); }));
  laidOut();
  advance(3.0);
  // By hand: the terminal into the small display's top-left corner, the other window over the whole of it.
  ASSERT_EQ(runCommand({"xdotool", "windowmove", std::to_string(corner), "0", "0"}), 0);
  const auto [left, right, top, bottom] = probe().extents(filling, "_NET_FRAME_EXTENTS");
  probe().moveResize(filling, {0, 0, static_cast<std::uint16_t>(1280 - left - right),
                               static_cast<std::uint16_t>(800 - top - bottom)});
  ASSERT_TRUE(waitUntil([&] {
    const auto c = probe().frameRect(corner);
    const auto f = probe().frameRect(filling);
    return c->x == 0 && c->y == 0 && f->x == 0 && f->y == 0 && f->width == 1280 && f->height == 800;
  })) << *probe().frameRect(corner) << ", " << *probe().frameRect(filling);
  catchUp();
  advance(LayoutManager::kQuietPeriod + 0.1);
  const Standing byHand{{corner, *probe().frameRect(corner)}, {filling, *probe().frameRect(filling)}};

  BuildInLayoutActionController& actions = BuildInLayoutActionController::shared();
  for (const auto& [window, frame] : byHand) {
    SCOPED_TRACE(probe().text(window, "WM_NAME"));
    const auto element = this->element(window);
    ASSERT_TRUE(element);
    actions.applyLayoutType(SIWindow(*element), LayoutNode::Type::switchScreen);
    laidOut();
    EXPECT_TRUE(waitUntil([&, w = window] {
      const auto f = probe().frameRect(w);
      return f && f->x >= 1280 && inside(*f, kLarge);
    })) << *probe().frameRect(window);
    advance(LayoutManager::kQuietPeriod + 0.1);
    actions.applyLayoutType(SIWindow(*element), LayoutNode::Type::switchScreen);
    laidOut();
    advance(LayoutManager::kQuietPeriod + 0.1);
  }
  expectStanding(byHand);
}

}  // namespace
}  // namespace tilvane::test::x11
