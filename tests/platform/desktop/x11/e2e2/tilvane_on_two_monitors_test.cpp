// Tilvane on the two-monitor test desktop: "left" (0, 0, 1920, 1080) with the 24-pixel tray along its bottom,
// and "right" (1920, 0, 1920, 1080), four desktops shared by both.
#include <gtest/gtest.h>

#include "../e2e/TilvaneOnX11.h"
#include "AppManager/Screens/ScreenManager.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane::test::x11 {
namespace {

class TilvaneTwoMonitorsTest : public TilvaneOnX11Test {};

TEST_F(TilvaneTwoMonitorsTest, DisplaysAreNumberedAsOnTheSimulatedDesktopAndAMonitorThatComesBackIsKnownAgain) {
  startTilvane();
  const ScreenManager& screens = ScreenManager::shared();
  ASSERT_EQ(screens.screens().size(), 2u);
  EXPECT_EQ(screens.screens()[0].spaces, screens.screens()[1].spaces);  // shared desktops: one numbering
  std::set<int> numbers;
  for (const auto& [uuid, number] : screens.screens()[0].spaces) numbers.insert(number);
  EXPECT_EQ(numbers, (std::set<int>{0, 1, 2, 3}));
  EXPECT_EQ(screens.screenFrameAtIndex(0), CGRectMake(0, 24, 1920, 1056));

  const std::string both = screens.displayIdentifier();
  const std::vector<std::string> addRight{"xrandr", "--setmonitor", "right", "1920/508x1080/286+1920+0", "none"};
  const std::shared_ptr<void> restore(nullptr, [&](void*) { runCommand(addRight); });

  ASSERT_EQ(runCommand({"xrandr", "--delmonitor", "right"}), 0);
  ASSERT_TRUE(waitUntil([&] { return screens.screens().size() == 1u; }));
  EXPECT_TRUE(screens.isScreenChanging());
  EXPECT_NE(screens.displayIdentifier(), both);
  advance(1.0);
  EXPECT_FALSE(screens.isScreenChanging());

  ASSERT_EQ(runCommand(addRight), 0);
  ASSERT_TRUE(waitUntil([&] { return screens.screens().size() == 2u; }));
  EXPECT_EQ(screens.displayIdentifier(), both);  // the same monitor: the same identifier
}

TEST_F(TilvaneTwoMonitorsTest, APlacementRememberedOnTheOtherDisplayKeepsItsFractionsThere) {
  storeRecord("TilvaneRight", 0, CGRectMake(0.25, 0.25, 0.5, 0.5), 2, 1);
  startTilvane();
  auto& client = launchClient({"--class", "right,TilvaneRight", "--title", "Right"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(client.window(), {2400, 270, 960, 540})) << *probe().frameRect(client.window());
  EXPECT_EQ(SIWindow(*element(client.window())).screen(), NSScreen::screens()[1]);
}

TEST_F(TilvaneTwoMonitorsTest, SwitchingDisplayCarriesTheWindowsFractionsToTheOtherDisplayAndBack) {
  const CGRect fractions = CGRectMake(0.25, 0.25, 0.5, 0.5);
  storeRecord("TilvaneLeft", 0, fractions, 2, 0);
  startTilvane();
  auto& client = launchClient({"--class", "left,TilvaneLeft", "--title", "Left"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  // The left display's visible frame is 1920 x 1056 (the tray), the right one's 1920 x 1080.
  ASSERT_TRUE(frameBecomes(client.window(), {480, 264, 960, 528})) << *probe().frameRect(client.window());
  const auto window = element(client.window());
  ASSERT_TRUE(window);

  BuildInLayoutActionController& actions = BuildInLayoutActionController::shared();
  actions.applyLayoutType(SIWindow(*window), LayoutNode::Type::switchScreen);
  EXPECT_TRUE(frameBecomes(client.window(), {2400, 270, 960, 540})) << *probe().frameRect(client.window());
  EXPECT_EQ(SIWindow(*window).screen(), NSScreen::screens()[1]);
  EXPECT_EQ(LayoutManager::shared().savedFrame(SIWindow(*window)), (RecordedPlace{fractions, 0}));
  // The record names the display the window was sent to, whenever the window manager applies the move.
  ASSERT_EQ(records("TilvaneLeft").size(), 1u);
  EXPECT_EQ(records("TilvaneLeft")[0]->screenIndex(), ScreenManager::shared().screenIndex(NSScreen::screens()[1]));

  actions.applyLayoutType(SIWindow(*window), LayoutNode::Type::switchScreen);
  EXPECT_TRUE(frameBecomes(client.window(), {480, 264, 960, 528})) << *probe().frameRect(client.window());
  EXPECT_EQ(SIWindow(*window).screen(), NSScreen::screens()[0]);
  EXPECT_EQ(LayoutManager::shared().savedFrame(SIWindow(*window)), (RecordedPlace{fractions, 0}));
  // What the program wrote down: the same record, the same fractions, the display it was sent back to.
  advance(3.0);
  const auto stored = records("TilvaneLeft");
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(CGRectMake(stored[0]->x(), stored[0]->y(), stored[0]->width(), stored[0]->height()), fractions);
  EXPECT_EQ(stored[0]->screenIndex(), ScreenManager::shared().screenIndex(NSScreen::screens()[0]));
}

}  // namespace
}  // namespace tilvane::test::x11
