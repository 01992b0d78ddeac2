#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "UI/HUD/VkHUD.h"
#include "UI/HUD/VkHUDGeometry.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

// One 1440 × 900 display whose visible frame is 1440 × 877; the message window has no view (the Qt one has its
// own test), so the behaviour's state is what is watched.
class VkHUDTest : public test::WorldTest {
 protected:
  VkHUDTest() : scope_(sim_) {
    sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
  }
  VkHUD& hud() { return VkHUD::shared(); }
  void showMessage(const std::string& text, double duration = 3.0) {
    hud().show(text, duration, VkHUDPosition::center, VkHUDSize::medium, VkHUDStyle::dark, false);
  }

  sim::SimDesktop sim_;
  Desktop::Scope scope_;
};

TEST(VkHUDGeometry, PlacesTheWindowByPosition) {
  const CGRect visible = CGRectMake(0, 23, 1440, 877);  // its origin is not used
  EXPECT_EQ(hudFrame({300, 72}, visible, VkHUDPosition::center), CGRectMake(550, 382.5, 340, 112));
  EXPECT_EQ(hudFrame({300, 72}, visible, VkHUDPosition::top).origin.y, 715);
  EXPECT_EQ(hudFrame({300, 72}, visible, VkHUDPosition::bottom).origin.y, 50);
  // A text wider than the display: the window overhangs on both sides, still one line.
  EXPECT_EQ(hudFrame({2000, 72}, visible, VkHUDPosition::center), CGRectMake(-300, 382.5, 2040, 112));
}

TEST_F(VkHUDTest, FadesInAtOnceAndOutAfterItsDuration) {
  showMessage("Layout complete");
  EXPECT_FALSE(hud().isVisible());  // presented on the main queue, not inside show()
  drain();
  ASSERT_TRUE(hud().isVisible());
  EXPECT_EQ(hud().text(), "Layout complete");
  EXPECT_EQ(hud().alpha(), 0);
  advance(0.05);
  EXPECT_GT(hud().alpha(), 0);
  EXPECT_LT(hud().alpha(), 1);
  advance(2.94);
  EXPECT_EQ(hud().alpha(), 1);
  advance(0.06);  // 3.0 s after show() the fade-out began
  EXPECT_LT(hud().alpha(), 1);
  EXPECT_TRUE(hud().isVisible());
  advance(0.15);
  EXPECT_FALSE(hud().isVisible());
}

TEST_F(VkHUDTest, ALaterMessageIsTakenAwayOnlyByItsOwnTime) {
  showMessage("first", 1.0);
  advance(1.1);  // halfway through the first one's fade-out
  ASSERT_TRUE(hud().isVisible());
  showMessage("second");
  advance(0.5);  // the dropped fade-out must not remove the window
  EXPECT_TRUE(hud().isVisible());
  EXPECT_EQ(hud().alpha(), 1);
  showMessage("third");  // at 1.6: the second one's time, up at 4.1, must not take it away
  advance(2.9);
  EXPECT_EQ(hud().alpha(), 1);
  EXPECT_EQ(hud().text(), "third");
  advance(0.35);  // from 4.6, its own time, it fades out
  EXPECT_FALSE(hud().isVisible());
}

TEST_F(VkHUDTest, ShowFromAnotherThreadIsPresentedOnTheMainQueueEvenWithoutADisplay) {
  sim::SimDesktop empty;
  Desktop::Scope none(empty);
  std::thread worker([this] { showMessage("from a worker"); });
  worker.join();
  EXPECT_TRUE(hud().text().empty());
  drain();
  EXPECT_EQ(hud().text(), "from a worker");
  EXPECT_EQ(hud().frame(), CGRectMake(-20, -20, 40, 40));
  advance(3.2);
  EXPECT_FALSE(hud().isVisible());
}

}  // namespace
}  // namespace tilvane
