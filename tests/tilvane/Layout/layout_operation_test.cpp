#include <gtest/gtest.h>

#include <limits>

#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "Layout/LayoutOperation.h"
#include "platform/defaults/UserDefaults.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using Kind = sim::SimWindowRequest::Kind;

class LayoutOperationTest : public test::WindowWorld {
 protected:
  AXUIElement window(CGRect frame = CGRectMake(100, 100, 400, 300)) {
    const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{.frame = frame}}});
    return apps().windowsOf(pid).front();
  }
  static void setGap(bool on) {
    defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), on);
  }
  void run(const AXUIElement& w, std::optional<CGRect> frame) {
    LayoutManager::shared().layoutOperationQueue().addOperation(std::make_shared<AutoLayoutOperation>(SIWindow(w), frame));
    drain();
  }
  // The requests that reached the window, as (kind, a, b).
  std::vector<std::tuple<Kind, double, double>> requests() const {
    std::vector<std::tuple<Kind, double, double>> out;
    for (const auto& r : const_cast<LayoutOperationTest*>(this)->apps().requests()) out.emplace_back(r.kind, r.a, r.b);
    return out;
  }
};

TEST_F(LayoutOperationTest, WithoutAFrameNothingHappensNotEvenThePullBack) {
  const AXUIElement w = window(CGRectMake(1300, 100, 400, 300));
  run(w, std::nullopt);
  EXPECT_EQ(frameOf(w), CGRectMake(1300, 100, 400, 300));
  EXPECT_TRUE(apps().requests().empty());
}

TEST_F(LayoutOperationTest, TheMoveIsHandedToTheMainQueueAndTheOperationFinishesFirst) {
  const AXUIElement w = window();
  auto operation = std::make_shared<RuleLayoutOperation>(SIWindow(w), CGRectMake(0, 23, 720, 877));
  std::optional<CGRect> atCompletion;
  operation->completionBlock = [&] { atCompletion = frameOf(w); };
  LayoutManager::shared().layoutOperationQueue().addOperation(operation);
  drain();
  EXPECT_EQ(atCompletion, CGRectMake(100, 100, 400, 300));
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
}

TEST_F(LayoutOperationTest, PositionSizePositionWithoutGap) {
  const AXUIElement w = window();
  run(w, CGRectMake(0, 23, 800, 600));
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 800, 600));
  EXPECT_EQ(requests(), (std::vector<std::tuple<Kind, double, double>>{
                            {Kind::position, 0, 23}, {Kind::size, 800, 600}, {Kind::position, 0, 23}}));
}

TEST_F(LayoutOperationTest, GapShrinksBySixteenAndShiftsByEight) {
  setGap(true);
  const AXUIElement w = window();
  run(w, CGRectMake(0, 23, 800, 600));
  EXPECT_EQ(frameOf(w), CGRectMake(8, 31, 784, 584));
  EXPECT_EQ(requests(), (std::vector<std::tuple<Kind, double, double>>{
                            {Kind::size, 784, 584}, {Kind::position, 8, 31}, {Kind::size, 784, 584}}));
}

TEST_F(LayoutOperationTest, EmptyOrNonFiniteSizesNeverReachTheWindow) {
  setGap(true);
  const AXUIElement w = window();
  run(w, CGRectMake(0, 23, 10, 10));  // less 16 leaves nothing
  EXPECT_EQ(requests(), (std::vector<std::tuple<Kind, double, double>>{{Kind::position, 8, 31}}));
  apps().clearRequests();
  setGap(false);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  run(w, CGRectMake(nan, 0, 100, std::numeric_limits<double>::infinity()));
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_EQ(frameOf(w), CGRectMake(8, 31, 400, 300));
}

TEST_F(LayoutOperationTest, AWindowOverhangingTheRightEdgeIsPulledBack) {
  const AXUIElement exact = window();
  run(exact, CGRectMake(640, 23, 800, 600));
  EXPECT_EQ(frameOf(exact), CGRectMake(640, 23, 800, 600));
  EXPECT_EQ(apps().requests().size(), 3u) << "a window ending at the edge is left alone";

  const AXUIElement over = window();
  run(over, CGRectMake(641, 23, 800, 600));
  EXPECT_EQ(frameOf(over), CGRectMake(640, 23, 800, 600));

  setGap(true);
  const AXUIElement gapped = window();
  run(gapped, CGRectMake(700, 23, 800, 600));
  EXPECT_EQ(frameOf(gapped), CGRectMake(1440 - 784 - 8, 31, 784, 584));
}

TEST_F(LayoutOperationTest, ATallWindowEndsAtTheBottomWithItsTopAboveTheVisibleFrame) {
  const AXUIElement w = window();
  run(w, CGRectMake(0, 23, 800, 1000));
  EXPECT_EQ(frameOf(w), CGRectMake(0, -100, 800, 1000));
}

TEST_F(LayoutOperationTest, ADisplayBelowThePrimaryOneUsesItsOwnBottomEdge) {
  sim().addDisplay({.frame = CGRectMake(0, -768, 1024, 768), .visibleFrame = CGRectMake(0, -768, 1024, 740)});
  const AXUIElement w = window(CGRectMake(10, 1000, 400, 300));
  run(w, CGRectMake(10, 1000, 400, 700));
  // The visible frame ends 740 points below the primary display's bottom edge (y 900).
  EXPECT_EQ(frameOf(w), CGRectMake(10, 900 + 768 - 700, 400, 700));
}

}  // namespace
}  // namespace tilvane
