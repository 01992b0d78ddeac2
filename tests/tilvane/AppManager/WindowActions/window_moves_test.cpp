#include <gtest/gtest.h>

#include "AppManager/WindowActions/AdjacentDesktopMoves.h"
#include "AppManager/WindowActions/MoveWindow.h"
#include "Layout/LayoutItem.h"
#include "Models/AutoLayoutModel.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

// One display with four shared desktops, desktop 0 shown.
class SharedDesktopsMoveTest : public test::WindowWorld {
 protected:
  SharedDesktopsMoveTest() : WindowWorld(4) { startManagers(); }
};

TEST_F(SharedDesktopsMoveTest, OnlyTheDesktopChanges) {
  const AXUIElement w = settledWindow();
  const CGRect before = frameOf(w);
  apps().clearRequests();
  moveWindow(2, SIWindow(w));
  EXPECT_EQ(frameOf(w), before);
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_FALSE(isShown(w));
  EXPECT_TRUE(shownOn(w, 2));
}

TEST_F(SharedDesktopsMoveTest, AdjacentMovesStopAtTheLastDesktop) {
  const AXUIElement w = settledWindow();
  sim().applications().setWindowSpace(w, sim().spaceUuids()[3]);
  ASSERT_TRUE(shownOn(w, 3));
  EXPECT_FALSE(moveWindowToRightDesktop(SIWindow(w)));
  EXPECT_TRUE(moveWindowToLeftDesktop(SIWindow(w)));
  advance(0.1);
  EXPECT_TRUE(shownOn(w, 2));
}

// Two displays with desktops of their own: the first 1440 × 900 (visible frame (0, 0, 1440, 877)) with desktops
// 0–2, the second 1280 × 800 to its right with 3–4.
class SeparateDesktopsMoveTest : public test::WindowWorld {
 protected:
  SeparateDesktopsMoveTest() : WindowWorld(3, sim::SpacesMode::separate) {
    sim().addDisplay({.frame = CGRectMake(1440, 0, 1280, 800), .spaceCount = 2});
    startManagers();
  }
  /// A settled window of the editor, remembered at `fractions` of display `screenIndex` (0 left, 1 right).
  AXUIElement managedWindow(const CGRect& fractions, CGSize minimumSize = {1, 1}, int screenIndex = 0) {
    storeRecord("org.example.Editor", 0, fractions, 2, 0, screenIndex);
    return settledWindow({.frame = CGRectMake(100, 100, 800, 600), .minimumSize = minimumSize});
  }
};

TEST_F(SeparateDesktopsMoveTest, ADesktopOfAnotherDisplayCarriesTheWindowThereFirst) {
  const AXUIElement w = managedWindow(CGRectMake(0.25, 0, 0.5, 1));
  moveWindow(4, SIWindow(w));
  // The right display's visible frame is (1440, 100, 1280, 800) in window coordinates.
  EXPECT_EQ(frameOf(w), CGRectMake(1760, 100, 640, 800));
  EXPECT_FALSE(isShown(w));
  EXPECT_TRUE(shownOn(w, 4));
  EXPECT_EQ(itemOf(w)->layoutModel()->screenIndex(), 1) << "its record names the new display";
}

TEST_F(SeparateDesktopsMoveTest, ACarriedWindowThatCannotShrinkIsPulledBackInside) {
  const AXUIElement w = managedWindow(CGRectMake(0.5, 0, 0.5, 1), {800, 300});
  moveWindow(3, SIWindow(w));
  // Asked for x = 2080 and 640 wide, it stays 800 wide and ends at the display's right edge.
  EXPECT_EQ(frameOf(w), CGRectMake(2720 - 800, 100, 800, 800));
}

TEST_F(SeparateDesktopsMoveTest, AWindowWithoutRememberedPlacementStaysWhereItIs) {
  const AXUIElement w = apps().addWindow(apps().addApplication({}), {.frame = CGRectMake(100, 100, 800, 600)});
  moveWindow(4, SIWindow(w));
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 800, 600));
  EXPECT_TRUE(isShown(w));
}

TEST_F(SeparateDesktopsMoveTest, AdjacentMovesStayOnTheWindowsOwnDisplay) {
  // On the right display, which shows its first desktop (number 3).
  const AXUIElement w = managedWindow(CGRectMake(0, 0, 0.5, 0.5), {1, 1}, 1);
  ASSERT_EQ(frameOf(w), CGRectMake(1440, 100, 640, 400));
  EXPECT_FALSE(moveWindowToLeftDesktop(SIWindow(w)));
  EXPECT_TRUE(moveWindowToRightDesktop(SIWindow(w)));
  advance(0.1);
  EXPECT_TRUE(shownOn(w, 4));
  EXPECT_FALSE(moveWindowToRightDesktop(SIWindow(w)));
  EXPECT_TRUE(moveWindowToLeftDesktop(SIWindow(w)));
}

}  // namespace
}  // namespace tilvane
