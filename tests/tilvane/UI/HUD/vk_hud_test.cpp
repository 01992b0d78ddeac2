#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "UI/HUD/VkHUD.h"
#include "UI/HUD/VkHUDGeometry.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

// What the behaviour asked of its window.
struct ViewLog {
  std::vector<std::string> texts;
  CGRect frame;
  bool onScreen = false;
  int orderOuts = 0;
  double alpha = -1;
};

class FakeView final : public VkHUDView {
 public:
  FakeView(ViewLog& log, CGSize fitted) : log_(log), fitted_(fitted) {}
  void setText(const std::string& text) override { log_.texts.push_back(text); }
  void setFontSize(double) override {}
  void setTextColor(const HUDColor&) override {}
  void setBackgroundColor(const HUDColor&) override {}
  void setBorderWidth(double) override {}
  void setBorderColor(const HUDColor&) override {}
  CGSize sizeToFit() override { return fitted_; }
  void setFrame(const CGRect& frame) override { log_.frame = frame; }
  void orderFront() override { log_.onScreen = true; }
  void orderOut() override {
    log_.onScreen = false;
    ++log_.orderOuts;
  }
  void setAlpha(double alpha) override { log_.alpha = alpha; }

 private:
  ViewLog& log_;
  CGSize fitted_;
};

// One 1440 × 900 display whose visible frame is 1440 × 877, and a window that fits every text in 300 × 72.
class VkHUDTest : public test::WorldTest {
 protected:
  VkHUDTest() : scope_(sim_) {
    sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
    hud().setView(std::make_unique<FakeView>(log_, CGSize{300, 72}));
  }
  VkHUD& hud() { return VkHUD::shared(); }
  void showMessage(const std::string& text, double duration = 3.0) {
    hud().show(text, duration, VkHUDPosition::center, VkHUDSize::medium, VkHUDStyle::dark, false);
  }

  sim::SimDesktop sim_;
  Desktop::Scope scope_;
  ViewLog log_;
};

TEST(VkHUDGeometry, PlacesTheWindowByPosition) {
  const CGRect visible = CGRectMake(0, 23, 1440, 877);  // its origin is not used
  EXPECT_EQ(hudFrame({300, 72}, visible, VkHUDPosition::top).origin.y, 715);
  EXPECT_EQ(hudFrame({300, 72}, visible, VkHUDPosition::bottom).origin.y, 50);
  // A text wider than the display: the window overhangs on both sides, still one line.
  EXPECT_EQ(hudFrame({2000, 72}, visible, VkHUDPosition::center), CGRectMake(-300, 382.5, 2040, 112));
}

TEST_F(VkHUDTest, FadesInAtOnceAndOutAfterItsDuration) {
  showMessage("Layout complete");
  EXPECT_FALSE(hud().isVisible());  // presented on the main queue, not inside show()
  drain();
  ASSERT_TRUE(log_.onScreen);
  EXPECT_EQ(log_.texts, std::vector<std::string>{"Layout complete"});
  EXPECT_EQ(hud().frame(), CGRectMake(550, 382.5, 340, 112));
  EXPECT_EQ(log_.frame, CGRectMake(550, 405.5, 340, 112));  // the window space, flipped about the 900 height
  EXPECT_EQ(log_.alpha, 0);
  advance(0.05);
  EXPECT_GT(log_.alpha, 0);
  EXPECT_LT(log_.alpha, 1);
  advance(2.94);
  EXPECT_EQ(log_.alpha, 1);
  advance(0.06);  // 3.0 s after show() the fade-out began
  EXPECT_LT(log_.alpha, 1);
  EXPECT_TRUE(log_.onScreen);
  advance(0.15);
  EXPECT_FALSE(log_.onScreen);
  EXPECT_FALSE(hud().isVisible());
  EXPECT_EQ(log_.orderOuts, 1);
}

TEST_F(VkHUDTest, ALaterMessageIsTakenAwayOnlyByItsOwnTime) {
  showMessage("first", 1.0);
  advance(1.1);  // halfway through the first one's fade-out
  ASSERT_TRUE(log_.onScreen);
  showMessage("second");
  advance(0.5);  // the dropped fade-out must not remove the window
  EXPECT_TRUE(log_.onScreen);
  EXPECT_EQ(log_.alpha, 1);
  showMessage("third");  // at 1.6: the second one's time, up at 4.1, must not take it away
  advance(2.9);
  EXPECT_TRUE(log_.onScreen);
  EXPECT_EQ(log_.alpha, 1);
  EXPECT_EQ(log_.texts.back(), "third");
  advance(0.35);  // from 4.6, its own time, it fades out
  EXPECT_FALSE(log_.onScreen);
  EXPECT_EQ(log_.orderOuts, 1);
}

TEST_F(VkHUDTest, ShowFromAnotherThreadIsPresentedOnTheMainQueue) {
  std::thread worker([this] { showMessage("from a worker"); });
  worker.join();
  EXPECT_TRUE(log_.texts.empty());
  drain();
  EXPECT_EQ(log_.texts, std::vector<std::string>{"from a worker"});
  advance(3.2);
  EXPECT_FALSE(log_.onScreen);
}

TEST_F(VkHUDTest, WithoutViewOrDisplayTheStateStillFollows) {
  hud().setView(nullptr);
  sim::SimDesktop empty;
  Desktop::Scope none(empty);
  showMessage("headless");
  advance(0.1);
  EXPECT_TRUE(hud().isVisible());
  EXPECT_EQ(hud().text(), "headless");
  EXPECT_EQ(hud().frame(), CGRectMake(-20, -20, 40, 40));
  advance(3.1);
  EXPECT_FALSE(hud().isVisible());
}

}  // namespace
}  // namespace tilvane
