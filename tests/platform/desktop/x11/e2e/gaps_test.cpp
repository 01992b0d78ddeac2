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

INSTANTIATE_TEST_SUITE_P(Gaps, GapsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

}  // namespace
}  // namespace tilvane::test::x11
