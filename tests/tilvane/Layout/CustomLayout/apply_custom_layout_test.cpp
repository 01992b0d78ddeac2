#include <gtest/gtest.h>

#include "Layout/LayoutItem.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

// On the 1440 × 900 display (visible frame (0, 0, 1440, 877)), in window coordinates.
constexpr CGRect kTopLeft = CGRectMake(0, 23, 720, 438.5);
constexpr CGRect kTopRight = CGRectMake(720, 23, 720, 438.5);
constexpr CGRect kBottomLeft = CGRectMake(0, 461.5, 720, 438.5);

CustomLayoutModelPtr layout(CustomLayoutType type, std::int64_t matrixValue, std::int64_t columns,
                            std::int64_t rows) {
  auto model = std::make_shared<CustomLayoutModel>();
  model->setType(static_cast<std::int64_t>(type));
  model->setMatrixValue(matrixValue);
  model->setWidth(columns);
  model->setHeight(rows);
  return model;
}

// The 2 × 2 grid with the top-left, top-right and bottom-left cells selected.
CustomLayoutModelPtr threeCorners() { return layout(CustomLayoutType::arranged, 0b1110, 2, 2); }

class ApplyCustomLayoutTest : public test::WindowWorld {
 protected:
  ApplyCustomLayoutTest() { startManagers(); }
  /// Focuses the window, applies the layout and lets the queued move run; returns where the window ended.
  CGRect press(const AXUIElement& w, const CustomLayoutModelPtr& model) {
    apps().focusWindow(w);
    LayoutManager::shared().applyCustomLayout(*model);
    drain();
    return frameOf(w);
  }
  CGRect remembered(const AXUIElement& w) { return test::fractionsOf(*itemOf(w)->layoutModel()); }
};

TEST_F(ApplyCustomLayoutTest, AnArrangedLayoutWalksItsCellsWrapsAndRestartsForAnotherWindow) {
  const AXUIElement a = settledWindow();
  const AXUIElement b = settledWindow();
  EXPECT_EQ(press(a, threeCorners()), kTopLeft);
  EXPECT_EQ(press(a, threeCorners()), kTopRight);
  // A fixed layout (the right column of a 1 × 2 grid) does not touch the cycle.
  EXPECT_EQ(press(a, layout(CustomLayoutType::fix, 0b01, 2, 1)), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(press(a, threeCorners()), kBottomLeft);
  EXPECT_EQ(press(a, threeCorners()), kTopLeft);
  EXPECT_EQ(remembered(a), CGRectMake(0, 0, 0.5, 0.5));
  EXPECT_EQ(press(b, threeCorners()), kTopLeft);
  EXPECT_EQ(press(a, threeCorners()), kTopLeft);
  // Without cells an arranged layout takes the whole frame.
  EXPECT_EQ(press(a, layout(CustomLayoutType::arranged, 0, 2, 2)), CGRectMake(0, 23, 1440, 877));
}

TEST_F(ApplyCustomLayoutTest, TheMoveGoesOutAtTheKeyBeforeTheBookkeepingAndOnce) {
  const AXUIElement w = settledWindow();
  const CGRect rememberedBefore = remembered(w);
  apps().clearRequests();
  apps().focusWindow(w);
  LayoutManager::shared().applyCustomLayout(*layout(CustomLayoutType::fix, 0b01, 2, 1));
  // Sent within the key's own turn, each field of the frame once: the position, then the size.
  ASSERT_EQ(apps().requests().size(), 2u);
  EXPECT_EQ(apps().requests()[0].readsBefore, 0u)
      << "decided and sent on what the desktop knows: no round trip first";
  EXPECT_EQ(apps().requests()[0].kind, sim::SimWindowRequest::Kind::position);
  EXPECT_EQ(apps().requests()[1].kind, sim::SimWindowRequest::Kind::size);
  EXPECT_EQ(frameOf(w), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(remembered(w), CGRectMake(0.5, 0, 0.5, 1)) << "the placement is saved in the same turn, after the move";
  EXPECT_NE(rememberedBefore, remembered(w));
  drain();
  EXPECT_EQ(apps().requests().size(), 2u) << "nothing sent again once the queue ran";
}

TEST_F(ApplyCustomLayoutTest, BehindQueuedMovesTheHotKeyWaitsItsTurnAndStillWins) {
  const AXUIElement w = settledWindow();
  apps().focusWindow(w);
  LayoutManager::shared().layoutAll();  // the window's own remembered frame is queued first
  apps().clearRequests();
  LayoutManager::shared().applyCustomLayout(*layout(CustomLayoutType::fix, 0b01, 2, 1));
  EXPECT_TRUE(apps().requests().empty()) << "not ahead of the moves queued before it";
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(720, 23, 720, 877));
}

TEST_F(ApplyCustomLayoutTest, NothingHappensWithoutAFrameOrALayoutableFocusedWindow) {
  const AXUIElement w = settledWindow();
  const CGRect rememberedBefore = remembered(w);
  apps().clearRequests();
  // Nothing focused.
  LayoutManager::shared().applyCustomLayout(*threeCorners());
  // A dialog.
  const AXUIElement dialog = apps().addWindow(pidOf("org.example.Editor"),
                                              {.frame = CGRectMake(10, 50, 300, 200), .subrole = "AXDialog"});
  press(dialog, threeCorners());
  // A layout that is switched off, and a fixed one without cells.
  press(w, layout(CustomLayoutType::ignore, -1, 4, 4));
  press(w, layout(CustomLayoutType::fix, 0, 4, 4));
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_EQ(remembered(w), rememberedBefore);
}

}  // namespace
}  // namespace tilvane
