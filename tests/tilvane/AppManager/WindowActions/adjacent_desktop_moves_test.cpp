#include <gtest/gtest.h>

#include "AppManager/WindowActions/AdjacentDesktopMoves.h"
#include "tilvane/AppManager/WindowActions/DesktopsWorld.h"

namespace tilvane {
namespace {

// One display with four shared desktops, desktop 0 shown.
class SharedAdjacentTest : public test::WindowWorld {
 protected:
  SharedAdjacentTest() : WindowWorld(4) { startManagers(); }
};

TEST_F(SharedAdjacentTest, MovesStopAtTheFirstAndLastDesktopAndScheduleNothingThen) {
  const AXUIElement w = settledWindow();
  const std::size_t pending = loop().pendingCount();
  EXPECT_FALSE(moveWindowToLeftDesktop(SIWindow(w)));
  EXPECT_EQ(loop().pendingCount(), pending);
  EXPECT_TRUE(moveWindowToRightDesktop(SIWindow(w)));
  advance(0.099);
  EXPECT_TRUE(shownOn(w, 0));
  advance(0.001);
  EXPECT_TRUE(shownOn(w, 1));

  sim().applications().setWindowSpace(w, sim().spaceUuids()[3]);
  EXPECT_TRUE(shownOn(w, 3));
  EXPECT_FALSE(moveWindowToRightDesktop(SIWindow(w)));
  EXPECT_TRUE(moveWindowToLeftDesktop(SIWindow(w)));
  advance(0.1);
  EXPECT_TRUE(shownOn(w, 2));
}

// Desktops 0–2 on the left display, 3–4 on the right one.
class SeparateAdjacentTest : public test::DesktopsWorld {};

TEST_F(SeparateAdjacentTest, MovesStayOnTheWindowsOwnDisplay) {
  // On the right display, which shows its first desktop (number 3).
  const AXUIElement w = managedWindow(CGRectMake(1600, 200, 600, 400), CGRectMake(0, 0, 0.5, 0.5), {1, 1}, 1);
  ASSERT_EQ(frameOf(w), CGRectMake(1440, 100, 640, 400));
  EXPECT_FALSE(moveWindowToLeftDesktop(SIWindow(w)));
  EXPECT_TRUE(moveWindowToRightDesktop(SIWindow(w)));
  advance(0.1);
  EXPECT_FALSE(isShown(w));
  EXPECT_TRUE(shownOn(w, 4));
  // Now on the last desktop of its display.
  EXPECT_FALSE(moveWindowToRightDesktop(SIWindow(w)));
  EXPECT_TRUE(moveWindowToLeftDesktop(SIWindow(w)));
}

class SingleDesktopDisplayTest : public test::DesktopsWorld {
 protected:
  SingleDesktopDisplayTest() : DesktopsWorld(1) {}
};

TEST_F(SingleDesktopDisplayTest, ADisplayWithOneDesktopHasNoNeighbours) {
  const AXUIElement w = managedWindow(CGRectMake(100, 100, 800, 600), CGRectMake(0, 0, 0.5, 1));
  EXPECT_FALSE(moveWindowToLeftDesktop(SIWindow(w)));
  EXPECT_FALSE(moveWindowToRightDesktop(SIWindow(w)));
}

}  // namespace
}  // namespace tilvane
