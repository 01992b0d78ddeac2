#include <gtest/gtest.h>

#include "AppManager/WindowActions/AdjacentDesktopMoves.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/AppManager/WindowActions/DesktopsWorld.h"

namespace tilvane {
namespace {

// One display with four shared desktops, desktop 0 shown.
class SharedAdjacentTest : public test::WindowWorld {
 protected:
  SharedAdjacentTest() : WindowWorld(4) {
    startManagers();
    window_ = admitWindow({.frame = CGRectMake(100, 100, 800, 600)});
    advance(3.0);
  }
  void show(int number) {
    sim().switchToSpace(sim().spaceUuids().at(static_cast<std::size_t>(number)));
    drain();
  }
  bool shownOn(int number) {
    show(number);
    for (const SIWindow& window : SIApplication(window_.pid).windows())
      if (window.axElement() == window_) return true;
    return false;
  }
  SIWindow window() const { return SIWindow(window_); }

  AXUIElement window_;
};

TEST_F(SharedAdjacentTest, FromTheFirstDesktopOnlyRightIsPossible) {
  EXPECT_FALSE(moveWindowToLeftDesktop(window()));
  EXPECT_TRUE(moveWindowToRightDesktop(window()));
  advance(0.099);
  EXPECT_TRUE(shownOn(0));
  advance(0.001);
  EXPECT_TRUE(shownOn(1));
}

TEST_F(SharedAdjacentTest, FromTheLastDesktopOnlyLeftIsPossible) {
  show(3);
  sim().applications().setWindowSpace(window_, sim().spaceUuids()[3]);
  EXPECT_FALSE(moveWindowToRightDesktop(window()));
  EXPECT_TRUE(moveWindowToLeftDesktop(window()));
  advance(0.1);
  EXPECT_TRUE(shownOn(2));
}

TEST_F(SharedAdjacentTest, NothingIsScheduledWhenTheAnswerIsNo) {
  const std::size_t pending = loop().pendingCount();
  EXPECT_FALSE(moveWindowToLeftDesktop(window()));
  EXPECT_EQ(loop().pendingCount(), pending);
}

// Desktops 0–2 on the left display, 3–4 on the right one.
class SeparateAdjacentTest : public test::DesktopsWorld {
 protected:
  explicit SeparateAdjacentTest(int leftSpaces = 3) : DesktopsWorld(leftSpaces, 2) {}
};

TEST_F(SeparateAdjacentTest, MovesStayOnTheWindowsOwnDisplay) {
  // On the right display, which shows its first desktop (number 3).
  const AXUIElement w = managedWindow(CGRectMake(1600, 200, 600, 400), CGRectMake(0, 0, 0.5, 0.5), {1, 1}, 1);
  ASSERT_EQ(frameOf(w), CGRectMake(1440, 100, 640, 400));
  EXPECT_FALSE(moveWindowToLeftDesktop(SIWindow(w)));
  EXPECT_TRUE(moveWindowToRightDesktop(SIWindow(w)));
  advance(0.1);
  EXPECT_FALSE(shown(w));
  show(4);
  EXPECT_TRUE(shown(w));
  // Now on the last desktop of its display.
  EXPECT_FALSE(moveWindowToRightDesktop(SIWindow(w)));
  EXPECT_TRUE(moveWindowToLeftDesktop(SIWindow(w)));
}

class SingleDesktopDisplayTest : public SeparateAdjacentTest {
 protected:
  SingleDesktopDisplayTest() : SeparateAdjacentTest(1) {}
};

TEST_F(SingleDesktopDisplayTest, ADisplayWithOneDesktopHasNoNeighbours) {
  const AXUIElement w = managedWindow(CGRectMake(100, 100, 800, 600), CGRectMake(0, 0, 0.5, 1));
  EXPECT_FALSE(moveWindowToLeftDesktop(SIWindow(w)));
  EXPECT_FALSE(moveWindowToRightDesktop(SIWindow(w)));
}

}  // namespace
}  // namespace tilvane
