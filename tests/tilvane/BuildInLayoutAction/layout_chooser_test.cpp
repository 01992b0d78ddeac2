#include <gtest/gtest.h>

#include <map>
#include <string>

#include "AppManager/Screens/ScreenManager.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "BuildInLayoutAction/LayoutChooser.h"
#include "platform/desktop/KeyCodes.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

constexpr CGEventFlags kShift = kCGEventFlagMaskShift;
constexpr CGEventFlags kOption = kCGEventFlagMaskAlternate;
constexpr CGKeyCode kKeyA = 0;

// The 1440 × 900 display (visible frame (0, 0, 1440, 877) in the display space: a 23-point menu bar) with
// four shared desktops, and the shared controller's chooser without a window (its Qt window has its own test).
class LayoutChooserTest : public test::WindowWorld {
 protected:
  LayoutChooserTest() : WindowWorld(4) { startManagers(); }

  /// A managed window at (100, 100, 800, 600) (or as configured) that has the focus.
  AXUIElement focused(sim::SimWindowConfig config = {.frame = CGRectMake(100, 100, 800, 600)}) {
    const AXUIElement w = settledWindow(config);
    apps().focusWindow(w);
    return w;
  }
  void press(CGKeyCode key, CGEventFlags flags = 0) { chooser_.handleKeyDown({key, flags}); }
  std::optional<AXUIElement> focusNow() { return apps().focusedWindow(); }

  BuildInLayoutActionController* actions_ = &BuildInLayoutActionController::shared();
  LayoutChooser& chooser_ = actions_->chooser();
};

TEST_F(LayoutChooserTest, OpensOverTheFocusedWindowAndClosesOneAndAHalfSecondsAfterTheLastStep) {
  const AXUIElement w = focused();
  actions_->startChooser();
  EXPECT_TRUE(chooser_.isVisible());
  EXPECT_EQ(chooser_.focusedWindow(), SIWindow(w));
  EXPECT_EQ(chooser_.frame(), CGRectMake(100, 200, 800, 600));  // flipped about the primary display's 900
  advance(1.0);
  press(kVK_LeftArrow);
  advance(1.0);
  press(kVK_UpArrow);
  EXPECT_EQ(chooser_.frame(), CGRectMake(0, 438.5, 720, 438.5));  // it follows the window
  // The hot key while open, another window focused meanwhile: it stays on its window, the timer restarts.
  advance(1.0);
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Other"});
  apps().focusWindow(apps().addWindow(pid, {.frame = CGRectMake(50, 50, 300, 200)}));
  actions_->startChooser();
  EXPECT_EQ(chooser_.focusedWindow(), SIWindow(w));
  advance(1.49);
  EXPECT_TRUE(chooser_.isVisible());
  advance(0.01);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_FALSE(chooser_.focusedWindow());
  EXPECT_EQ(chooser_.currentLayoutNode(), nullptr);
  EXPECT_EQ(focusNow(), w);  // given back the keyboard
}

TEST_F(LayoutChooserTest, ArrowsAndReturnWalkTheGraph) {
  using T = LayoutNode::Type;
  // U, D, L, R: arrows; E: Return; A: the A key; Option with l, o, d, a (Left, Right, Down, A) and b (also with
  // Shift, Up); Shift with s, z, x (Down, Up, A).
  const std::string keys = "RULDRDLUURRDUDLDREELLDURUDULEUEoEsDDEEELULRLERRElzbaxAdL";
  const T nodes[] = {
      T::halfRight,  T::topRight,   T::topLeft,     T::bottomLeft, T::bottomRight, T::halfBottom, T::bottomLeft,
      T::topLeft,    T::halfTop,    T::topRight,    T::halfRight,  T::bottomRight, T::topRight,   T::bottomRight,
      T::bottomLeft, T::halfBottom, T::bottomRight, T::fullscreen, T::center,      T::halfLeft,   T::halfLeft,
      T::bottomLeft, T::topLeft,    T::topRight,    T::halfTop,    T::halfBottom,  T::halfTop,    T::topLeft,
      T::fullscreen, T::halfTop,    T::fullscreen,  T::moveRight,  T::center,      T::zoomOut,    T::halfBottom,
      T::halfBottom, T::fullscreen, T::center,      T::fullscreen, T::halfLeft,    T::topLeft,    T::halfLeft,
      T::halfRight,  T::halfLeft,   T::fullscreen,  T::halfRight,  T::halfRight,   T::fullscreen, T::moveLeft,
      T::zoomIn,     T::moveUp,     T::moveUp,      T::moveUp,     T::moveUp,      T::moveDown,   T::halfLeft};
  ASSERT_EQ(keys.size(), std::size(nodes));
  const std::map<char, std::pair<CGKeyCode, CGEventFlags>> codes = {
      {'U', {kVK_UpArrow, 0}},          {'D', {kVK_DownArrow, 0}},    {'L', {kVK_LeftArrow, 0}},
      {'R', {kVK_RightArrow, 0}},       {'E', {kVK_Return, 0}},       {'A', {kKeyA, 0}},
      {'l', {kVK_LeftArrow, kOption}},  {'o', {kVK_RightArrow, kOption}}, {'d', {kVK_DownArrow, kOption}},
      {'a', {kKeyA, kOption}},          {'b', {kVK_UpArrow, kOption | kShift}},
      {'s', {kVK_DownArrow, kShift}},   {'z', {kVK_UpArrow, kShift}}, {'x', {kKeyA, kShift}}};
  focused();
  chooser_.startChooser();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(keys.substr(0, i + 1));
    press(codes.at(keys[i]).first, codes.at(keys[i]).second);
    ASSERT_NE(chooser_.currentLayoutNode(), nullptr);
    EXPECT_EQ(chooser_.currentLayoutNode()->type(), nodes[i]);
  }
}

TEST_F(LayoutChooserTest, TabSwitchesTheDisplayBeforeAnyArrowOrWithAModifierAndOtherKeysDoNothing) {
  sim().addDisplay({.frame = CGRectMake(1440, 0, 1280, 800)});
  ScreenManager::shared().reloadScreens();
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kKeyA);
  EXPECT_EQ(chooser_.currentLayoutNode(), nullptr);
  press(kVK_Tab);
  EXPECT_GE(frameOf(w).origin.x, 1440);
  press(kVK_LeftArrow);  // that display's top edge is at y = 100 of the window space
  EXPECT_EQ(frameOf(w), CGRectMake(1440, 100, 640, 800));
  EXPECT_EQ(chooser_.frame(), CGRectMake(1440, 0, 640, 800));
  press(kVK_Tab, kOption);  // carries the half across and keeps the node
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutHalfLeft());

  apps().clearRequests();
  advance(1.0);
  press(kVK_Tab);  // after an arrow Tab has no edge
  press(kKeyA);
  press(kVK_ANSI_0);
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutHalfLeft());
  advance(0.5);  // nor did they restart the timer
  EXPECT_FALSE(chooser_.isVisible());
}

TEST_F(LayoutChooserTest, FirstReturnPicksCentreForAWindowFillingMoreThanNineTenthsEachWayElseFullScreen) {
  const AXUIElement w = focused({.frame = CGRectMake(0, 23, 1368, 833.15)});  // 95 % each way
  chooser_.startChooser();
  press(kVK_Return);
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutCenter());
  press(kVK_Escape);
  chooser_.startChooser();
  press(kVK_Return, kShift);
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutFullscreen());

  const std::pair<CGRect, bool> sizes[] = {{CGRectMake(0, 23, 1296, 800), false},  // exactly 0.9 wide
                                           {CGRectMake(0, 23, 1297, 790), true},
                                           {CGRectMake(0, 23, 1440, 789.3), false}};  // exactly 0.9 tall
  for (const auto& [frame, filling] : sizes) {
    apps().userMoveWindow(w, frame);
    EXPECT_EQ(LayoutChooser::isWindowFillingScreen(SIWindow(w)), filling) << frame;
  }
}

TEST_F(LayoutChooserTest, DesktopKeysCloseTheChooserAndMoveTheWindow) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kVK_RightArrow, kShift);  // the desktop on the right; the chooser comes back 0.5 s later
  EXPECT_FALSE(chooser_.isVisible());
  advance(0.49);
  EXPECT_FALSE(chooser_.isVisible());
  advance(0.01);
  EXPECT_TRUE(chooser_.isVisible());
  EXPECT_EQ(chooser_.focusedWindow(), SIWindow(w));
  EXPECT_EQ(chooser_.frame(), CGRectMake(100, 200, 800, 600));
  advance(1.5);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_TRUE(shownOn(w, 1));

  chooser_.startChooser();
  press(kVK_ANSI_4, kShift);  // digits come before modifiers; the move follows a tenth of a second later
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_EQ(focusNow(), w);
  advance(0.099);
  EXPECT_TRUE(isShown(w));
  advance(0.001);
  EXPECT_FALSE(isShown(w));
  EXPECT_TRUE(shownOn(w, 3));
}

TEST_F(LayoutChooserTest, EscapeClosesAtOnceAndAChooserOpenedDuringTheSignalIsNotClosedByIt) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kVK_ANSI_9);  // the signal, due to close the chooser 0.8 s from now
  advance(0.3);
  apps().clearRequests();
  press(kVK_Escape);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_EQ(focusNow(), w);
  press(kVK_LeftArrow);  // reaches nobody
  EXPECT_TRUE(apps().requests().empty());
  chooser_.startChooser();  // opened again while the signal's close is pending
  EXPECT_EQ(chooser_.logo(), ChooserLogo::layoutCenter);
  advance(0.6);
  EXPECT_TRUE(chooser_.isVisible());
  EXPECT_EQ(chooser_.focusedWindow(), SIWindow(w));
  advance(0.9);  // its own 1.5 s
  EXPECT_FALSE(chooser_.isVisible());
}

TEST_F(LayoutChooserTest, TheUnavailableSignalFlashesForEightTenthsOfASecondAndMovesNothing) {
  const auto expectSignal = [&](const char* trigger) {
    SCOPED_TRACE(trigger);
    EXPECT_TRUE(chooser_.isVisible());
    EXPECT_EQ(chooser_.logo(), ChooserLogo::layoutCenterDisabled);
    EXPECT_EQ(chooser_.borderWidth(), 0);
    advance(0.79);
    EXPECT_TRUE(chooser_.isVisible());
    advance(0.01);
    EXPECT_FALSE(chooser_.isVisible());
    EXPECT_FALSE(chooser_.focusedWindow());
  };
  const AXUIElement w = settledWindow();
  actions_->startChooser();
  expectSignal("the hot key without a focused window");
  apps().focusWindow(w);
  chooser_.startChooser();
  press(kVK_ANSI_5);
  expectSignal("the digit of a missing desktop");
  chooser_.startChooser();
  press(kVK_LeftArrow, kShift);
  expectSignal("Shift+Left on the first desktop");
  actions_->performLayout(LayoutNode::Type::moveToLeftDesktop);
  expectSignal("the controller's failed desktop move");
  EXPECT_EQ(focusNow(), w);
  advance(1.0);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 800, 600));
  EXPECT_TRUE(shownOn(w, 0));
}

}  // namespace
}  // namespace tilvane
