#include <gtest/gtest.h>

#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutItem.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "platform/defaults/UserDefaults.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

// On the 1440 × 900 display (visible frame (0, 0, 1440, 877)), in window coordinates.
constexpr CGRect kTopLeft = CGRectMake(0, 23, 720, 438.5);
constexpr CGRect kTopRight = CGRectMake(720, 23, 720, 438.5);
constexpr CGRect kBottomLeft = CGRectMake(0, 461.5, 720, 438.5);
constexpr CGRect kWhole = CGRectMake(0, 23, 1440, 877);

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

  AXUIElement window(const std::string& bundle = "org.example.Editor") {
    const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 800, 600)}, bundle);
    advance(3.0);
    return w;
  }
  /// Focuses the window, applies the layout and lets the queued move run; returns where the window ended.
  CGRect press(const AXUIElement& w, const CustomLayoutModelPtr& model) {
    apps().focusWindow(w);
    LayoutManager::shared().applyCustomLayout(*model);
    drain();
    return frameOf(w);
  }
  CGRect remembered(const AXUIElement& w) { return test::fractionsOf(*itemOf(w)->layoutModel()); }
};

TEST_F(ApplyCustomLayoutTest, AnArrangedLayoutWalksItsCellsAndWraps) {
  const AXUIElement w = window();
  EXPECT_EQ(press(w, threeCorners()), kTopLeft);
  EXPECT_EQ(press(w, threeCorners()), kTopRight);
  EXPECT_EQ(press(w, threeCorners()), kBottomLeft);
  EXPECT_EQ(press(w, threeCorners()), kTopLeft);
  EXPECT_EQ(remembered(w), CGRectMake(0, 0, 0.5, 0.5));
}

TEST_F(ApplyCustomLayoutTest, TheCycleRestartsWhenTheFocusedWindowChanges) {
  const AXUIElement a = window();
  const AXUIElement b = window();
  EXPECT_EQ(press(a, threeCorners()), kTopLeft);
  EXPECT_EQ(press(a, threeCorners()), kTopRight);
  EXPECT_EQ(press(b, threeCorners()), kTopLeft);
  EXPECT_EQ(press(a, threeCorners()), kTopLeft);
}

TEST_F(ApplyCustomLayoutTest, AFixedLayoutDoesNotTouchTheCycle) {
  const AXUIElement w = window();
  EXPECT_EQ(press(w, threeCorners()), kTopLeft);
  // The right column of a 1 × 2 grid.
  EXPECT_EQ(press(w, layout(CustomLayoutType::fix, 0b01, 2, 1)), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(press(w, threeCorners()), kTopRight);
}

TEST_F(ApplyCustomLayoutTest, AnArrangedLayoutWithoutCellsTakesTheWholeFrame) {
  const AXUIElement w = window();
  EXPECT_EQ(press(w, layout(CustomLayoutType::arranged, 0, 2, 2)), kWhole);
}

TEST_F(ApplyCustomLayoutTest, AFixedBlockIsPlacedAndRemembered) {
  const AXUIElement w = window();
  // The middle two columns of the top two rows of the 4 × 4 grid.
  const std::int64_t block = (0b0110 << 12) | (0b0110 << 8);
  EXPECT_EQ(press(w, layout(CustomLayoutType::fix, block, 4, 4)), CGRectMake(360, 23, 720, 438.5));
  EXPECT_EQ(remembered(w), CGRectMake(0.25, 0, 0.5, 0.5));
}

TEST_F(ApplyCustomLayoutTest, AFixedLayoutWithoutCellsMovesAndSavesNothing) {
  const AXUIElement w = window();
  const CGRect before = frameOf(w);
  const CGRect rememberedBefore = remembered(w);
  apps().clearRequests();
  EXPECT_EQ(press(w, layout(CustomLayoutType::fix, 0, 4, 4)), before);
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_EQ(remembered(w), rememberedBefore);
  EXPECT_FALSE(itemOf(w)->isLayouting());
}

TEST_F(ApplyCustomLayoutTest, WithGapsTheWindowKeepsItsMargin) {
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  const AXUIElement w = window();
  EXPECT_EQ(press(w, threeCorners()), CGRectMake(8, 31, 704, 422.5));
}

TEST_F(ApplyCustomLayoutTest, ThePlacementIsSavedBeforeTheWindowMoves) {
  const AXUIElement w = window();
  const CGRect before = frameOf(w);
  apps().focusWindow(w);
  LayoutManager::shared().applyCustomLayout(*threeCorners());
  EXPECT_EQ(frameOf(w), before);
  EXPECT_EQ(remembered(w), CGRectMake(0, 0, 0.5, 0.5));
  EXPECT_EQ(itemOf(w)->layoutModel()->screenIndex(), 0);
  drain();
  EXPECT_EQ(frameOf(w), kTopLeft);
}

TEST_F(ApplyCustomLayoutTest, NothingHappensToWindowsThatMayNotBeLaidOut) {
  const AXUIElement w = window();
  apps().clearRequests();
  // Nothing focused.
  LayoutManager::shared().applyCustomLayout(*threeCorners());
  // A dialog.
  const AXUIElement dialog = apps().addWindow(pidOf("org.example.Editor"),
                                              {.frame = CGRectMake(10, 50, 300, 200), .subrole = "AXDialog"});
  EXPECT_EQ(press(dialog, threeCorners()), CGRectMake(10, 50, 300, 200));
  // A layout that is switched off.
  EXPECT_EQ(press(w, layout(CustomLayoutType::ignore, -1, 4, 4)), CGRectMake(100, 100, 800, 600));
  EXPECT_TRUE(apps().requests().empty());
}

}  // namespace
}  // namespace tilvane
