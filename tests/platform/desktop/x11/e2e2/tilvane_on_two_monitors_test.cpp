// Tilvane on the two-monitor test desktop: "left" (0, 0, 1920, 1080) with the 24-pixel tray along its bottom,
// and "right" (1920, 0, 1920, 1080), four desktops shared by both.
#include <gtest/gtest.h>

#include "../e2e/TilvaneOnX11.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane::test::x11 {
namespace {

class TilvaneTwoMonitorsTest : public TilvaneOnX11Test {};

TEST_F(TilvaneTwoMonitorsTest, DisplaysAreOrderedAndNumberedAsOnTheSimulatedDesktop) {
  startTilvane();
  const ScreenManager& screens = ScreenManager::shared();
  ASSERT_EQ(screens.screens().size(), 2u);
  EXPECT_EQ(screens.screens()[0].frame, CGRectMake(0, 0, 1920, 1080));
  EXPECT_EQ(screens.screens()[1].frame, CGRectMake(1920, 0, 1920, 1080));
  EXPECT_NE(screens.screens()[0].id, screens.screens()[1].id);
  // Shared desktops: both displays carry the one numbering 0 to 3.
  EXPECT_EQ(screens.screens()[0].spaces, screens.screens()[1].spaces);
  std::set<int> numbers;
  for (const auto& [uuid, number] : screens.screens()[0].spaces) numbers.insert(number);
  EXPECT_EQ(numbers, (std::set<int>{0, 1, 2, 3}));
  // Visible frames leave out the tray's strut, on the left display only.
  EXPECT_EQ(screens.screenFrameAtIndex(0), CGRectMake(0, 24, 1920, 1056));
  EXPECT_EQ(screens.screenFrameAtIndex(1), CGRectMake(1920, 0, 1920, 1080));

  const std::string identifier = screens.makeDisplayIdentifier();
  restartTilvane();
  EXPECT_EQ(ScreenManager::shared().makeDisplayIdentifier(), identifier);  // the same displays next time
}

TEST_F(TilvaneTwoMonitorsTest, APlacementRememberedOnTheOtherDisplayKeepsItsFractionsThere) {
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier("TilvaneRight");
  model->setWindowIndex(0);
  model->setScreenCount(2);
  model->setScreenIndex(1);
  model->setX(0.25);
  model->setY(0.25);
  model->setWidth(0.5);
  model->setHeight(0.5);
  model->makeId();
  const auto database = store::Database::open();
  database->write([&] { database->add(model); });

  startTilvane();
  auto& client = launchClient({"--class", "right,TilvaneRight", "--title", "Right"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(client.window()) == (XRectangle{2400, 270, 960, 540}); }))
      << *probe().frameRect(client.window());
  EXPECT_EQ(SIWindow(*element(client.window())).screen(), NSScreen::screens()[1]);
}

}  // namespace
}  // namespace tilvane::test::x11
