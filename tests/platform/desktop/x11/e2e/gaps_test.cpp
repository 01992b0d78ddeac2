// A window the user moved or sized comes back exactly where the user left it, under each window manager of the
// matrix, at every start and "Lay Out All Windows", with gaps on as with them off; a window a rule placed keeps
// its gaps.
#include <gtest/gtest.h>

#include "TilvaneOnX11.h"

namespace tilvane::test::x11 {
namespace {

class GapsTest : public TilvaneOnX11Test, public ::testing::WithParamInterface<bool> {};

TEST_P(GapsTest, WindowsTheUserMovedOrSizedStandWhereTheUserLeftThemAfterStartsAndLayouts) {
  const auto windows = arrangeByHand(GetParam());
  ASSERT_EQ(windows.size(), 4u);
  for (const bool restart : {false, true, false, true}) {
    SCOPED_TRACE(restart ? "quit and start" : "Lay Out All Windows");
    if (restart) {
      restartTilvane();
      advance(1.0);
      for (const auto& [window, frame] : windows) ASSERT_TRUE(waitUntil([&] { return managed(window); }));
    } else {
      LayoutManager::shared().layoutAll();
    }
    laidOut();
    expectStanding(windows);
    if (HasFailure()) return;  // each round starts from the last one
  }
}

// Gaps turned off as the General pane does (the setting, then "Lay Out All Windows"): windows the user left
// against the work area's edges with gaps on stay inside it, given back at most the gap on each side; turned on
// again, they stand where the user left them.
TEST_F(TilvaneOnX11Test, GapsTurnedOffKeepWindowsLeftAgainstTheEdgesInsideTheWorkArea) {
  const auto windows = arrangeByHand(true);
  ASSERT_EQ(windows.size(), 4u);
  const std::uint32_t corner = windows[0].first;
  const std::uint32_t edges = windows[2].first;
  ASSERT_EQ(runCommand({"xdotool", "windowmove", std::to_string(corner), "0", "0"}), 0);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(corner)->x == 0 && probe().frameRect(corner)->y == 0; }));
  catchUp();
  advance(LayoutManager::kQuietPeriod + 0.1);
  const Standing byHand{{corner, *probe().frameRect(corner)}, {edges, *probe().frameRect(edges)}};

  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), false);
  LayoutManager::shared().layoutAll();
  laidOut();
  // Where it stood fits the check below too: the window against three edges has to be seen to take the gap on
  // its free side.
  EXPECT_TRUE(waitUntil([&] { return probe().frameRect(edges)->x < byHand[1].second.x; }))
      << *probe().frameRect(edges);
  for (const auto& [window, was] : byHand) {
    EXPECT_TRUE(waitUntil([&, w = window, was = was] {
      const auto f = probe().frameRect(w);
      return f && f->x >= 0 && f->y >= 0 && f->x + f->width <= 1920 && f->y + f->height <= 1056 &&
             f->width <= was.width + 16 && f->height <= was.height + 16 && f->width >= was.width &&
             f->height >= was.height;
    })) << probe().text(window, "WM_NAME") << ": " << *probe().frameRect(window) << ", left at " << was;
  }
  advance(LayoutManager::kQuietPeriod + 0.1);
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  LayoutManager::shared().layoutAll();
  laidOut();
  expectStanding(byHand);
}

INSTANTIATE_TEST_SUITE_P(Gaps, GapsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

}  // namespace
}  // namespace tilvane::test::x11
