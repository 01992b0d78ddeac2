#include <gtest/gtest.h>

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
  void run(const AXUIElement& w, std::optional<CGRect> frame, std::function<void()> completion = {}) {
    auto operation = std::make_shared<AutoLayoutOperation>(SIWindow(w), frame);
    operation->completionBlock = std::move(completion);
    LayoutManager::shared().layoutOperationQueue().addOperation(operation);
    drain();
  }
};

TEST_F(LayoutOperationTest, WithoutAFrameNothingHappensNotEvenThePullBack) {
  const AXUIElement w = window(CGRectMake(1300, 100, 400, 300));
  run(w, std::nullopt);
  EXPECT_TRUE(apps().requests().empty());
}

TEST_F(LayoutOperationTest, TheOperationFinishesFirstThenTheWindowGoesPositionSizePosition) {
  const AXUIElement w = window();
  std::optional<CGRect> atCompletion;
  run(w, CGRectMake(0, 23, 800, 600), [&] { atCompletion = frameOf(w); });
  EXPECT_EQ(atCompletion, CGRectMake(100, 100, 400, 300));
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 800, 600));
  EXPECT_EQ(requests(), (std::vector<Request>{
                            {Kind::position, 0, 23}, {Kind::size, 800, 600}, {Kind::position, 0, 23}}));
}

TEST_F(LayoutOperationTest, AWindowPastTheRightOrBottomEdgeOfItsDisplayIsPulledBack) {
  // A display below the primary one: its visible frame ends 740 points below the primary's bottom edge (y 900).
  sim().addDisplay({.frame = CGRectMake(0, -768, 1024, 768), .visibleFrame = CGRectMake(0, -768, 1024, 740)});
  struct Case {
    bool gap;
    CGRect target, placed;
  };
  const Case cases[] = {
      {false, CGRectMake(640, 23, 800, 600), CGRectMake(640, 23, 800, 600)},  // ending at the edge
      {false, CGRectMake(641, 23, 800, 600), CGRectMake(640, 23, 800, 600)},
      {true, CGRectMake(700, 23, 800, 600), CGRectMake(1440 - 784 - 8, 31, 784, 584)},
      // Taller than the display: it ends at the bottom (8 points inside with gaps), its top above the display.
      {true, CGRectMake(0, 23, 800, 1000), CGRectMake(8, 900 - 984 - 8, 784, 984)},
      {false, CGRectMake(10, 1000, 400, 700), CGRectMake(10, 900 + 768 - 700, 400, 700)},
  };
  for (const auto& c : cases) {
    defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), c.gap);
    const AXUIElement w = window();
    run(w, c.target);
    EXPECT_EQ(frameOf(w), c.placed) << c.target;
  }
}

}  // namespace
}  // namespace tilvane
