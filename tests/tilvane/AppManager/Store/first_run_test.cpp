#include <gtest/gtest.h>

#include "AppManager/Screens/ScreenManager.h"
#include "Models/AutoLayoutModel.h"
#include "StoreTestSupport.h"
#include "platform/desktop/sim/SimDesktop.h"

namespace tilvane::test {
namespace {

// Two displays with desktops of their own: three on the first, two on the second; one of each shown.
class FirstRunTest : public StoreServiceTest {
 protected:
  FirstRunTest() {
    left_ = sim_.addDisplay({.frame = {{0, 0}, {1440, 900}}, .spaceCount = 3});
    sim_.addDisplay({.frame = {{1440, 0}, {1920, 1080}}, .spaceCount = 2});
    store().configureRealm();
    ScreenManager::shared().reloadScreens();
  }

  sim::SimDesktop sim_{sim::SpacesMode::separate};
  Desktop::Scope scope_{sim_};
  std::string left_;
};

TEST_F(FirstRunTest, EveryDesktopIsUnseenAtFirstThenTheOnesShownAfterThreeSecondsLeave) {
  store().setupFirstRun();
  EXPECT_EQ(log.count("setupFirstRun"), 1u);
  EXPECT_EQ(store().firstRunSpaces(), (std::set<int>{0, 1, 2, 3, 4}));
  advance(2.9);
  EXPECT_EQ(store().firstRunSpaces().size(), 5u);
  ASSERT_TRUE(sim_.switchToSpace(sim_.spaceUuids(left_).at(2)));
  advance(0.1);
  // Shown at reconciliation time: desktop 2 on the left, 3 on the right; 0 was only shown before.
  EXPECT_EQ(store().firstRunSpaces(), (std::set<int>{0, 1, 4}));
}

TEST_F(FirstRunTest, ALaunchWithARememberedPlacementIsNoFirstRun) {
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier("org.example.Editor");
  model->makeId();
  stored(model);

  store().setupFirstRun();
  advance(5);
  EXPECT_EQ(log.count("setupFirstRun"), 1u);
  EXPECT_TRUE(store().firstRunSpaces().empty());
}

}  // namespace
}  // namespace tilvane::test
