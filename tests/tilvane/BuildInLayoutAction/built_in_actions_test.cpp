#include <gtest/gtest.h>

#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "BuildInLayoutAction/LayoutFractions.h"
#include "Layout/LayoutItem.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "platform/defaults/UserDefaults.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using Type = LayoutNode::Type;
using Kind = sim::SimWindowRequest::Kind;

// Counts the unavailable signals instead of flashing a window.
class CountingController : public BuildInLayoutActionController {
 public:
  using BuildInLayoutActionController::BuildInLayoutActionController;
  void showUnavailable() override { ++unavailable; }
  int unavailable = 0;
};

// The 1440 × 900 display (visible frame (0, 0, 1440, 877): a 23-point menu bar, no dock) with four shared
// desktops; one managed, settled window that has the focus.
class BuiltInActionsTest : public test::WindowWorld {
 protected:
  BuiltInActionsTest() : WindowWorld(4) { startManagers(); }

  AXUIElement focusedWindow(sim::SimWindowConfig config = {.frame = CGRectMake(100, 100, 800, 600)}) {
    const AXUIElement w = admitWindow(config);
    advance(3.0);
    apps().focusWindow(w);
    apps().clearRequests();
    return w;
  }
  void apply(const AXUIElement& w, const Type& type) { controller_->applyLayoutType(SIWindow(w), type); }
  void gaps(bool on) { defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), on); }
  CGRect remembered(const AXUIElement& w) { return test::fractionsOf(*itemOf(w)->layoutModel()); }
  /// The requests that reached the window, as (kind, a, b).
  std::vector<std::tuple<Kind, double, double>> requests() {
    std::vector<std::tuple<Kind, double, double>> sent;
    for (const auto& r : apps().requests()) sent.emplace_back(r.kind, r.a, r.b);
    return sent;
  }
  bool shownOn(const AXUIElement& w, int desktop) {
    sim().switchToSpace(sim().spaceUuids().at(static_cast<std::size_t>(desktop)));
    drain();
    for (const SIWindow& window : SIApplication(w.pid).windows())
      if (window.axElement() == w) return true;
    return false;
  }

  std::unique_ptr<CountingController> controller_ = VkRxController::make<CountingController>();
};

TEST_F(BuiltInActionsTest, HalfRightTakesTheRightHalfOfTheVisibleFrame) {
  const AXUIElement w = focusedWindow();
  BuildInLayoutActionController::shared().performLayout(Type::halfRight);
  EXPECT_EQ(frameOf(w), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(remembered(w), CGRectMake(0.5, 0, 0.5, 1));
}

TEST_F(BuiltInActionsTest, HalfRightWithGapsShrinksMovesAndShrinksAgain) {
  gaps(true);
  const AXUIElement w = focusedWindow();
  apps().clearRequests();
  apply(w, Type::halfRight);
  const auto sent = requests();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[0], std::make_tuple(Kind::size, 704.0, 861.0));
  EXPECT_EQ(sent[1], std::make_tuple(Kind::position, 728.0, 31.0));
  EXPECT_EQ(sent[2], std::make_tuple(Kind::size, 704.0, 861.0));
  EXPECT_EQ(frameOf(w), CGRectMake(728, 31, 704, 861));
}

TEST_F(BuiltInActionsTest, EveryPlacingActionUsesItsPartOfTheVisibleFrame) {
  const std::pair<Type, CGRect> expected[] = {
      {Type::fullscreen, CGRectMake(0, 23, 1440, 877)},        {Type::halfLeft, CGRectMake(0, 23, 720, 877)},
      {Type::halfTop, CGRectMake(0, 23, 1440, 438.5)},         {Type::halfBottom, CGRectMake(0, 461.5, 1440, 438.5)},
      {Type::topLeft, CGRectMake(0, 23, 720, 438.5)},          {Type::topRight, CGRectMake(720, 23, 720, 438.5)},
      {Type::bottomLeft, CGRectMake(0, 461.5, 720, 438.5)},    {Type::bottomRight, CGRectMake(720, 461.5, 720, 438.5)},
      {Type::center, CGRectMake(360, 242.25, 720, 438.5)},
  };
  const AXUIElement w = focusedWindow();
  for (const auto& [type, frame] : expected) {
    SCOPED_TRACE(::testing::PrintToString(type));
    apply(w, type);
    EXPECT_EQ(frameOf(w), frame);
    EXPECT_EQ(remembered(w), *layoutFractions(type));
  }
}

TEST_F(BuiltInActionsTest, CenterRecentresAWindowThatCannotShrink) {
  const AXUIElement w = focusedWindow({.frame = CGRectMake(100, 100, 1000, 600), .minimumSize = {900, 1}});
  apply(w, Type::center);
  EXPECT_EQ(frameOf(w), CGRectMake(270, 242.25, 900, 438.5));
  const auto sent = requests();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[sent.size() - 2], std::make_tuple(Kind::position, 270.0, 242.25));
  EXPECT_EQ(sent.back(), std::make_tuple(Kind::size, 720.0, 438.5));
  EXPECT_EQ(remembered(w), CGRectMake(0.25, 0.25, 0.5, 0.5));
}

TEST_F(BuiltInActionsTest, CenterWithGapsEndsOnTheFrameWithoutGaps) {
  gaps(true);
  const AXUIElement w = focusedWindow();
  apply(w, Type::center);
  EXPECT_EQ(frameOf(w), CGRectMake(360, 242.25, 720, 438.5));
}

TEST_F(BuiltInActionsTest, PlacedWindowsAreKeptOnTheDisplay) {
  // Too wide for the right half: pulled back so its right edge meets the visible frame's.
  const AXUIElement w = focusedWindow({.frame = CGRectMake(100, 100, 1000, 600), .minimumSize = {1000, 1}});
  apply(w, Type::halfRight);
  EXPECT_EQ(frameOf(w), CGRectMake(440, 23, 1000, 877));
}

TEST_F(BuiltInActionsTest, NudgesAndZoomsMoveByTenPointsAndRememberNothing) {
  const AXUIElement w = focusedWindow({.frame = CGRectMake(100, 5, 800, 600)});
  const CGRect before = remembered(w);
  const std::pair<Type, CGRect> steps[] = {
      {Type::moveUp, CGRectMake(100, -5, 800, 600)},   {Type::moveDown, CGRectMake(100, 5, 800, 600)},
      {Type::moveLeft, CGRectMake(90, 5, 800, 600)},   {Type::moveRight, CGRectMake(100, 5, 800, 600)},
      {Type::zoomOut, CGRectMake(110, 15, 780, 580)},  {Type::zoomIn, CGRectMake(100, 5, 800, 600)},
  };
  for (const auto& [type, frame] : steps) {
    SCOPED_TRACE(::testing::PrintToString(type));
    apply(w, type);
    EXPECT_EQ(frameOf(w), frame);
  }
  EXPECT_EQ(remembered(w), before);
}

TEST_F(BuiltInActionsTest, SwitchScreenCarriesTheRememberedPlacementToTheNextDisplay) {
  sim().addDisplay({.frame = CGRectMake(1440, 0, 1280, 800)});
  ScreenManager::shared().reloadScreens();
  const AXUIElement w = focusedWindow();
  apply(w, Type::halfLeft);
  apply(w, Type::switchScreen);
  EXPECT_EQ(frameOf(w), CGRectMake(1440, 100, 640, 800));
  EXPECT_EQ(remembered(w), CGRectMake(0, 0, 0.5, 1));
  apply(w, Type::switchScreen);
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
}

TEST_F(BuiltInActionsTest, SwitchScreenWithOneDisplayReappliesTheRememberedPlacement) {
  const AXUIElement w = focusedWindow();
  apply(w, Type::halfLeft);
  apps().userMoveWindow(w, CGRectMake(300, 300, 500, 400));
  drain();
  apply(w, Type::switchScreen);
  EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877));
}

TEST_F(BuiltInActionsTest, SwitchScreenWithoutRememberedPlacementDoesNothing) {
  // Not managed, so nothing is remembered of it.
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Other"});
  const AXUIElement w = apps().addWindow(pid, {.frame = CGRectMake(100, 100, 800, 600)});
  apply(w, Type::switchScreen);
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 800, 600));
}

TEST_F(BuiltInActionsTest, ActionsApplyToDialogsToo) {
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Tool"});
  const AXUIElement dialog =
      apps().addWindow(pid, {.frame = CGRectMake(100, 100, 400, 300), .subrole = std::string("AXDialog")});
  apps().focusWindow(dialog);
  BuildInLayoutActionController::shared().performLayout(Type::fullscreen);
  EXPECT_EQ(frameOf(dialog), CGRectMake(0, 23, 1440, 877));
}

TEST_F(BuiltInActionsTest, PerformLayoutWithoutAFocusedWindowDoesNothing) {
  const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 800, 600)});
  advance(3.0);
  apps().clearRequests();
  BuildInLayoutActionController::shared().performLayout(Type::fullscreen);
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 800, 600));
}

TEST_F(BuiltInActionsTest, MoveToDesktopHappensOneTenthOfASecondLater) {
  const AXUIElement w = focusedWindow();
  apply(w, Type::moveToDesktop(2));
  advance(0.099);
  EXPECT_TRUE(shownOn(w, 0));
  advance(0.001);
  EXPECT_FALSE(shownOn(w, 0));
  EXPECT_TRUE(shownOn(w, 2));
}

TEST_F(BuiltInActionsTest, NoDesktopOnTheLeftShowsTheUnavailableSignal) {
  const AXUIElement w = focusedWindow();
  apply(w, Type::moveToLeftDesktop);
  EXPECT_EQ(controller_->unavailable, 1);
  advance(1.0);
  EXPECT_TRUE(shownOn(w, 0));

  apply(w, Type::moveToRightDesktop);
  EXPECT_EQ(controller_->unavailable, 1);
  advance(0.1);
  EXPECT_TRUE(shownOn(w, 1));
}

}  // namespace
}  // namespace tilvane
