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

/// A window whose text is as wide as its characters at 0.6 of the point size each.
class MeasuringView final : public VkHUDView {
 public:
  explicit MeasuringView(double& points) : points_(points) {}
  void setText(const std::string& text) override { text_ = text; }
  void setFontSize(double points) override { points_ = points; }
  void setTextColor(const HUDColor&) override {}
  void setBackgroundColor(const HUDColor&) override {}
  void setBorderWidth(double) override {}
  void setBorderColor(const HUDColor&) override {}
  CGSize sizeToFit() override { return {static_cast<double>(text_.size()) * points_ * 0.6, points_ * 1.2}; }
  void setFrame(const CGRect&) override {}
  void orderFront() override {}
  void orderOut() override {}
  void setAlpha(double) override {}

 private:
  std::string text_;
  double& points_;
};

// A line too wide for the display is set smaller until it fits with room to spare, never cut; one that fits keeps
// its size.
TEST(VkHUDFit, ATextTooWideForTheDisplayIsSetSmallerUntilItFitsWhole) {
  const std::string damaged = "Settings damaged: every setting is back to its default. A copy was kept as "
                              "defaults.plist.damaged-20261209-145000.";
  struct Case {
    double width, height;
    std::string text;
    VkHUDSize size;
    bool smaller;
  };
  const Case cases[] = {{1280, 800, damaged, VkHUDSize::small, true},
                        {1024, 768, damaged, VkHUDSize::small, true},
                        {1024, 768, "Workspace restored", VkHUDSize::medium, false},
                        {1024, 768, damaged + damaged + damaged, VkHUDSize::large, true},
                        {1920, 1080, damaged, VkHUDSize::small, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " " + c.text);
    sim::SimDesktop sim;
    Desktop::Scope scope(sim);
    sim.addDisplay({.frame = CGRectMake(0, 0, c.width, c.height),
                    .visibleFrame = CGRectMake(0, 0, c.width, c.height)});
    double points = 0;
    VkHUD hud;
    hud.setView(std::make_unique<MeasuringView>(points));
    hud.present(c.text, c.size, VkHUDStyle::dark, CGRectMake(0, 0, c.width, c.height), true, VkHUDPosition::center);
    const CGRect frame = hud.frame();
    EXPECT_GE(frame.origin.x, 20);
    EXPECT_LE(frame.origin.x + frame.size.width, c.width - 20);
    EXPECT_GE(frame.origin.y, 0);
    EXPECT_NEAR(frame.size.width - 40, c.text.size() * points * 0.6, 1e-9) << "the whole line";
    EXPECT_EQ(points < hudMetrics(c.size).fontSize, c.smaller) << points;
  }
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
