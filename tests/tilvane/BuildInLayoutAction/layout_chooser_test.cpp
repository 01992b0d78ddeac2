#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <memory>
#include <optional>
#include <vector>

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

// What the chooser asked of its window, and the handler its key events go to.
struct WindowLog {
  LayoutChooserView::KeyDownHandler handler;
  std::optional<ChooserLogo> logo;
  std::optional<CGRect> frame;
  bool visible = false;
  std::optional<CGWindowLevel> level;
};

class FakeWindow final : public LayoutChooserView {
 public:
  explicit FakeWindow(WindowLog& log) : log_(log) {}
  void setKeyDownHandler(KeyDownHandler handler) override { log_.handler = std::move(handler); }
  void setLogo(ChooserLogo logo) override { log_.logo = logo; }
  void setBorderWidth(double) override {}
  void setFrame(const CGRect& frame) override { log_.frame = frame; }
  void setIsVisible(bool visible) override { log_.visible = visible; }
  void setLevel(CGWindowLevel level) override { log_.level = level; }

 private:
  WindowLog& log_;
};

// The 1440 × 900 display (visible frame (0, 0, 1440, 877) in the display space: a 23-point menu bar) with
// four shared desktops, and a chooser whose window is a FakeWindow.
class LayoutChooserTest : public test::WindowWorld {
 protected:
  LayoutChooserTest() : WindowWorld(4) {
    startManagers();
    chooser_.setView(std::make_unique<FakeWindow>(window_));
  }

  /// A managed window at (100, 100, 800, 600) (or as configured) that has the focus.
  AXUIElement focused(sim::SimWindowConfig config = {.frame = CGRectMake(100, 100, 800, 600)}) {
    const AXUIElement w = settledWindow(config);
    apps().focusWindow(w);
    return w;
  }
  /// A window of another application, to take the focus away.
  AXUIElement other() {
    const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Other"});
    return apps().addWindow(pid, {.frame = CGRectMake(50, 50, 300, 200)});
  }
  void secondDisplay() {
    sim().addDisplay({.frame = CGRectMake(1440, 0, 1280, 800)});
    ScreenManager::shared().reloadScreens();
  }
  /// A key pressed in the chooser's window.
  void press(CGKeyCode key, CGEventFlags flags = 0) {
    ASSERT_TRUE(window_.handler);
    window_.handler({key, flags});
  }
  std::optional<AXUIElement> focusNow() { return apps().focusedWindow(); }

  WindowLog window_;
  BuildInLayoutActionController* actions_ = &BuildInLayoutActionController::shared();
  LayoutChooser& chooser_ = actions_->chooser();
};

TEST_F(LayoutChooserTest, HotKeyOpensTheChooserOverTheFocusedWindow) {
  const AXUIElement w = focused();
  actions_->startChooser();

  EXPECT_TRUE(chooser_.isVisible());
  EXPECT_EQ(chooser_.focusedWindow(), SIWindow(w));
  EXPECT_EQ(chooser_.currentLayoutNode(), nullptr);
  // The window's frame, flipped into the display space around the primary display's 900 points.
  EXPECT_EQ(chooser_.frame(), CGRectMake(100, 200, 800, 600));
  EXPECT_EQ(chooser_.borderWidth(), 10);
  EXPECT_TRUE(chooser_.isTimerRunning());
  // Its window: over the window, in front, floating, and the program active to take the keyboard.
  EXPECT_EQ(window_.frame, CGRectMake(100, 100, 800, 600));
  EXPECT_TRUE(window_.visible);
  EXPECT_EQ(window_.logo, ChooserLogo::layoutCenter);
  EXPECT_EQ(window_.level, 3);
  EXPECT_EQ(sim().program().activationsIgnoringOtherApps(), 1);
}

TEST_F(LayoutChooserTest, LeftThenUpLeadsToTheTopLeftQuarterAndEachStepRestartsTheTimer) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  advance(1.0);
  press(kVK_LeftArrow);
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutHalfLeft());
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
  advance(1.0);
  press(kVK_UpArrow);
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutTopLeft());
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 438.5));
  // The chooser follows the window.
  EXPECT_EQ(chooser_.frame(), CGRectMake(0, 438.5, 720, 438.5));
  EXPECT_EQ(window_.frame, CGRectMake(0, 23, 720, 438.5));

  apps().focusWindow(other());
  advance(1.49);
  EXPECT_TRUE(chooser_.isVisible());
  advance(0.01);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_FALSE(window_.visible);
  EXPECT_FALSE(chooser_.focusedWindow());
  EXPECT_EQ(chooser_.currentLayoutNode(), nullptr);
  EXPECT_EQ(focusNow(), w);  // the chooser's own window had the keyboard meanwhile
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 438.5));
}

TEST_F(LayoutChooserTest, ArrowsAndReturnWalkTheGraph) {
  using T = LayoutNode::Type;
  // U, D, L, R: arrows; E: Return; o: Option+Right; s: Shift+Down.
  const std::string keys = "RULDRDLUURRDUDLDREELLDURUDULEUEoEsDDEEELULRLERRE";
  const T nodes[] = {
      T::halfRight,  T::topRight,   T::topLeft,     T::bottomLeft, T::bottomRight, T::halfBottom, T::bottomLeft,
      T::topLeft,    T::halfTop,    T::topRight,    T::halfRight,  T::bottomRight, T::topRight,   T::bottomRight,
      T::bottomLeft, T::halfBottom, T::bottomRight, T::fullscreen, T::center,      T::halfLeft,   T::halfLeft,
      T::bottomLeft, T::topLeft,    T::topRight,    T::halfTop,    T::halfBottom,  T::halfTop,    T::topLeft,
      T::fullscreen, T::halfTop,    T::fullscreen,  T::moveRight,  T::center,      T::zoomOut,    T::halfBottom,
      T::halfBottom, T::fullscreen, T::center,      T::fullscreen, T::halfLeft,    T::topLeft,    T::halfLeft,
      T::halfRight,  T::halfLeft,   T::fullscreen,  T::halfRight,  T::halfRight,   T::fullscreen};
  ASSERT_EQ(keys.size(), std::size(nodes));
  const std::map<char, std::pair<CGKeyCode, CGEventFlags>> codes = {
      {'U', {kVK_UpArrow, 0}},   {'D', {kVK_DownArrow, 0}},       {'L', {kVK_LeftArrow, 0}},
      {'R', {kVK_RightArrow, 0}}, {'E', {kVK_Return, 0}},         {'o', {kVK_RightArrow, kOption}},
      {'s', {kVK_DownArrow, kShift}}};
  focused();
  chooser_.startChooser();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(keys.substr(0, i + 1));
    press(codes.at(keys[i]).first, codes.at(keys[i]).second);
    ASSERT_NE(chooser_.currentLayoutNode(), nullptr);
    EXPECT_EQ(chooser_.currentLayoutNode()->type(), nodes[i]);
  }
}

TEST_F(LayoutChooserTest, HotKeyWhileOpenOnlyRestartsTheTimer) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  advance(1.0);
  const AXUIElement second = admitWindow({.frame = CGRectMake(300, 300, 400, 300)});
  apps().focusWindow(second);
  chooser_.startChooser();
  EXPECT_EQ(chooser_.focusedWindow(), SIWindow(w));
  EXPECT_EQ(chooser_.frame(), CGRectMake(100, 200, 800, 600));
  advance(1.49);
  EXPECT_TRUE(chooser_.isVisible());
  advance(0.01);
  EXPECT_FALSE(chooser_.isVisible());
}

TEST_F(LayoutChooserTest, EscapeClosesAtOnceAndKeysReachNobodyAfterwards) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  apps().clearRequests();
  press(kVK_Escape);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_FALSE(chooser_.isTimerRunning());
  EXPECT_EQ(focusNow(), w);
  press(kVK_LeftArrow);
  press(kVK_ANSI_2);
  advance(2.0);
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_TRUE(shownOn(w, 0));
}

TEST_F(LayoutChooserTest, TabAndKeysOutsideTheGraphDoNothing) {
  secondDisplay();
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kKeyA);  // before any arrow: no action
  EXPECT_EQ(chooser_.currentLayoutNode(), nullptr);
  press(kVK_LeftArrow);
  apps().clearRequests();
  advance(1.0);
  press(kVK_Tab);  // after an arrow Tab has no edge
  press(kKeyA);
  press(kVK_ANSI_0);
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutHalfLeft());
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
  // They did not restart the timer either: it runs out 1.5 s after the arrow.
  advance(0.5);
  EXPECT_FALSE(chooser_.isVisible());
}

TEST_F(LayoutChooserTest, TabBeforeAnyArrowAndWithAModifierSwitchesTheDisplay) {
  secondDisplay();
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kVK_LeftArrow);
  press(kVK_Tab, kOption);
  EXPECT_EQ(frameOf(w), CGRectMake(1440, 100, 640, 800));
  EXPECT_EQ(chooser_.frame(), CGRectMake(1440, 0, 640, 800));
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutHalfLeft());  // a switch leaves the node
  press(kVK_Tab, kShift);
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));

  press(kVK_Escape);
  chooser_.startChooser();
  press(kVK_Tab);
  EXPECT_EQ(frameOf(w), CGRectMake(1440, 100, 640, 800));
  EXPECT_EQ(chooser_.currentLayoutNode(), nullptr);
}

TEST_F(LayoutChooserTest, FirstReturnPicksCentreForANearlyFullWindowAndFullScreenOtherwise) {
  // 95 % of the visible frame each way.
  const AXUIElement big = focused({.frame = CGRectMake(0, 23, 1368, 833.15)});
  chooser_.startChooser();
  press(kVK_Return);
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutCenter());
  EXPECT_EQ(frameOf(big), CGRectMake(360, 242.25, 720, 438.5));
  press(kVK_Escape);

  apps().userMoveWindow(big, CGRectMake(100, 100, 800, 600));
  advance(3.0);
  chooser_.startChooser();
  press(kVK_Return, kShift);
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutFullscreen());
  EXPECT_EQ(frameOf(big), CGRectMake(0, 23, 1440, 877));
}

TEST_F(LayoutChooserTest, FillingTheScreenMeansMoreThanNineTenthsEachWay) {
  const AXUIElement w = focused({.frame = CGRectMake(0, 23, 1296, 800)});  // exactly 0.9 wide
  EXPECT_FALSE(LayoutChooser::isWindowFillingScreen(SIWindow(w)));
  apps().userMoveWindow(w, CGRectMake(0, 23, 1297, 790));
  EXPECT_TRUE(LayoutChooser::isWindowFillingScreen(SIWindow(w)));
  apps().userMoveWindow(w, CGRectMake(0, 23, 1440, 789.3));  // exactly 0.9 tall
  EXPECT_FALSE(LayoutChooser::isWindowFillingScreen(SIWindow(w)));
}

TEST_F(LayoutChooserTest, OptionNudgesShiftZoomsAndOtherModifiedKeysReapplyTheCurrentNode) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kVK_LeftArrow, kOption);
  EXPECT_EQ(frameOf(w), CGRectMake(90, 100, 800, 600));
  press(kVK_UpArrow, kOption | kShift);
  EXPECT_EQ(frameOf(w), CGRectMake(90, 90, 800, 600));
  press(kVK_DownArrow, kShift);
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 780, 580));
  press(kVK_UpArrow, kShift);
  EXPECT_EQ(frameOf(w), CGRectMake(90, 90, 800, 600));
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutZoomIn());
  apps().clearRequests();
  press(kKeyA, kShift);
  EXPECT_TRUE(apps().requests().empty());

  press(kVK_LeftArrow);  // from a nudge or zoom an arrow picks the half on its side
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
  apps().userMoveWindow(w, CGRectMake(300, 300, 500, 400));
  press(kKeyA, kOption);
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
  EXPECT_EQ(chooser_.currentLayoutNode(), &actions_->layoutHalfLeft());
}

TEST_F(LayoutChooserTest, DigitMovesTheWindowToThatDesktopAfterClosing) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kVK_ANSI_2, kShift);  // digits come before modifiers
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_EQ(focusNow(), w);
  advance(0.1);
  EXPECT_TRUE(shownOn(w, 1));
  EXPECT_FALSE(shownOn(w, 0));
}

TEST_F(LayoutChooserTest, ShiftRightMovesTheWindowAndReopensHalfASecondLater) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kVK_RightArrow, kShift);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_FALSE(chooser_.focusedWindow());
  advance(0.49);
  EXPECT_FALSE(chooser_.isVisible());
  advance(0.01);
  EXPECT_TRUE(chooser_.isVisible());
  EXPECT_EQ(chooser_.focusedWindow(), SIWindow(w));
  EXPECT_EQ(chooser_.logo(), ChooserLogo::layoutCenter);
  EXPECT_EQ(chooser_.frame(), CGRectMake(100, 200, 800, 600));
  EXPECT_TRUE(chooser_.isTimerRunning());
  advance(1.5);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_TRUE(shownOn(w, 1));
}

TEST_F(LayoutChooserTest, AChooserOpenedDuringTheSignalIsNotClosedByIt) {
  const AXUIElement w = focused();
  chooser_.startChooser();
  press(kVK_ANSI_9);  // the signal, due to close the chooser 0.8 s from now
  advance(0.3);
  press(kVK_Escape);
  chooser_.startChooser();  // opened again while the signal's close is pending
  EXPECT_EQ(chooser_.logo(), ChooserLogo::layoutCenter);
  advance(0.6);
  EXPECT_TRUE(chooser_.isVisible());
  EXPECT_EQ(chooser_.focusedWindow(), SIWindow(w));
  advance(0.9);  // its own 1.5 s
  EXPECT_FALSE(chooser_.isVisible());
}

// What flashes the unavailable signal: a greyed logo without border over the main screen for 0.8 s, with the
// window left where it was.
struct SignalCase {
  const char* name;
  bool focus;
  std::function<void(LayoutChooserTest&)> trigger;
};

class UnavailableSignalTest : public LayoutChooserTest, public ::testing::WithParamInterface<SignalCase> {
 public:
  void pressInChooser(CGKeyCode key, CGEventFlags flags = 0) {
    chooser_.startChooser();
    press(key, flags);
  }
};

TEST_P(UnavailableSignalTest, FlashesForEightTenthsOfASecondAndMovesNothing) {
  const AXUIElement w = settledWindow();
  if (GetParam().focus) apps().focusWindow(w);
  GetParam().trigger(*this);

  EXPECT_TRUE(chooser_.isVisible());
  EXPECT_EQ(chooser_.logo(), ChooserLogo::layoutCenterDisabled);
  EXPECT_EQ(window_.logo, ChooserLogo::layoutCenterDisabled);
  EXPECT_EQ(chooser_.borderWidth(), 0);
  EXPECT_EQ(window_.frame, CGRectMake(0, 0, 1440, 900));
  advance(0.79);
  EXPECT_TRUE(chooser_.isVisible());
  advance(0.01);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_FALSE(chooser_.focusedWindow());
  if (GetParam().focus) EXPECT_EQ(focusNow(), w);
  advance(1.0);
  EXPECT_FALSE(chooser_.isVisible());
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 800, 600));
  EXPECT_TRUE(shownOn(w, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Triggers, UnavailableSignalTest,
    ::testing::Values(
        SignalCase{"DigitOfAMissingDesktop", true, [](LayoutChooserTest& t) {
                     static_cast<UnavailableSignalTest&>(t).pressInChooser(kVK_ANSI_5);  // desktop 4 of four
                   }},
        SignalCase{"ShiftLeftOnTheFirstDesktop", true,
                   [](LayoutChooserTest& t) {
                     static_cast<UnavailableSignalTest&>(t).pressInChooser(kVK_LeftArrow, kShift);
                   }},
        SignalCase{"HotKeyWithoutAFocusedWindow", false,
                   [](LayoutChooserTest&) { BuildInLayoutActionController::shared().startChooser(); }},
        SignalCase{"ControllersFailedDesktopMove", true,
                   [](LayoutChooserTest&) {
                     BuildInLayoutActionController::shared().performLayout(LayoutNode::Type::moveToLeftDesktop);
                   }}),
    [](const ::testing::TestParamInfo<SignalCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tilvane
