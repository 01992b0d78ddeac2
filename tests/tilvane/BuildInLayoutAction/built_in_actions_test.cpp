#include <gtest/gtest.h>

#include "AppManager/Settings/UserDefaultsService.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "BuildInLayoutAction/LayoutFractions.h"
#include "Layout/LayoutItem.h"
#include "Models/AutoLayoutModel.h"
#include "platform/defaults/UserDefaults.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using Type = LayoutNode::Type;
using Kind = sim::SimWindowRequest::Kind;

// The 1440 × 900 display (visible frame (0, 0, 1440, 877): a 23-point menu bar, no dock) with four shared
// desktops; one managed, settled window that has the focus.
class BuiltInActionsTest : public test::WindowWorld {
 protected:
  BuiltInActionsTest() : WindowWorld(4) { startManagers(); }

  AXUIElement focusedWindow(sim::SimWindowConfig config = {.frame = CGRectMake(100, 100, 800, 600)}) {
    const AXUIElement w = settledWindow(config);
    apps().focusWindow(w);
    apps().clearRequests();
    return w;
  }
  void apply(const AXUIElement& w, const Type& type) {
    BuildInLayoutActionController::shared().applyLayoutType(SIWindow(w), type);
  }
  void gaps(bool on) { defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), on); }
  CGRect remembered(const AXUIElement& w) { return test::fractionsOf(*itemOf(w)->layoutModel()); }
};

TEST_F(BuiltInActionsTest, EveryPlacingActionUsesItsPartOfTheVisibleFrame) {
  const std::pair<Type, CGRect> expected[] = {
      {Type::halfRight, CGRectMake(720, 23, 720, 877)},        {Type::fullscreen, CGRectMake(0, 23, 1440, 877)},
      {Type::halfLeft, CGRectMake(0, 23, 720, 877)},           {Type::halfTop, CGRectMake(0, 23, 1440, 438.5)},
      {Type::halfBottom, CGRectMake(0, 461.5, 1440, 438.5)},   {Type::topLeft, CGRectMake(0, 23, 720, 438.5)},
      {Type::topRight, CGRectMake(720, 23, 720, 438.5)},       {Type::bottomLeft, CGRectMake(0, 461.5, 720, 438.5)},
      {Type::bottomRight, CGRectMake(720, 461.5, 720, 438.5)}, {Type::center, CGRectMake(360, 242.25, 720, 438.5)},
  };
  const AXUIElement w = focusedWindow();
  for (const auto& [type, frame] : expected) {
    SCOPED_TRACE(::testing::PrintToString(type));
    apps().clearRequests();
    BuildInLayoutActionController::shared().performLayout(type);  // on the focused window
    ASSERT_FALSE(apps().requests().empty());
    EXPECT_EQ(apps().requests().front().readsBefore, 0u)
        << "decided on what the desktop knows: no round trip first";
    EXPECT_EQ(frameOf(w), frame);
    EXPECT_EQ(remembered(w), *layoutFractions(type));
  }
}

TEST_F(BuiltInActionsTest, WithGapsAWindowIsShrunkMovedAndShrunkAgainButTheCentreHasNoGap) {
  gaps(true);
  const AXUIElement w = focusedWindow();
  apply(w, Type::halfRight);
  EXPECT_EQ(requests(), (std::vector<Request>{
                            {Kind::size, 704, 861}, {Kind::position, 728, 31}, {Kind::size, 704, 861}}));
  EXPECT_EQ(frameOf(w), CGRectMake(728, 31, 704, 861));
  apply(w, Type::center);
  EXPECT_EQ(frameOf(w), CGRectMake(360, 242.25, 720, 438.5));
}

TEST_F(BuiltInActionsTest, AWindowThatCannotShrinkIsRecentredOrKeptOnTheDisplay) {
  const AXUIElement w = focusedWindow({.frame = CGRectMake(100, 100, 1000, 600), .minimumSize = {900, 1}});
  apply(w, Type::center);
  EXPECT_EQ(frameOf(w), CGRectMake(270, 242.25, 900, 438.5));
  const auto sent = requests();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[sent.size() - 2], Request(Kind::position, 270.0, 242.25));
  EXPECT_EQ(sent.back(), Request(Kind::size, 720.0, 438.5));
  EXPECT_EQ(remembered(w), CGRectMake(0.25, 0.25, 0.5, 0.5));
  // Too wide for the right half: pulled back so its right edge meets the visible frame's.
  apply(w, Type::halfRight);
  EXPECT_EQ(frameOf(w), CGRectMake(540, 23, 900, 877));
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

TEST_F(BuiltInActionsTest, ActionsApplyToTheFocusedWindowDialogsIncluded) {
  const AXUIElement w = settledWindow();
  apps().clearRequests();
  BuildInLayoutActionController::shared().performLayout(Type::fullscreen);
  EXPECT_TRUE(apps().requests().empty()) << "nothing has the focus";

  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Tool"});
  const AXUIElement dialog =
      apps().addWindow(pid, {.frame = CGRectMake(100, 100, 400, 300), .subrole = std::string("AXDialog")});
  apps().focusWindow(dialog);
  BuildInLayoutActionController::shared().performLayout(Type::fullscreen);
  EXPECT_EQ(frameOf(dialog), CGRectMake(0, 23, 1440, 877));
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 800, 600));
}

}  // namespace
}  // namespace tilvane
