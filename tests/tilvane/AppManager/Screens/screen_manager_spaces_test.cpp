#include <gtest/gtest.h>

#include <algorithm>

#include "ScreensWorld.h"

namespace tilvane {
namespace {

using sim::SpacesMode;
using Numbers = std::vector<int>;

class ScreenManagerSpaces : public test::ScreensWorld {};

TEST_F(ScreenManagerSpaces, SharedDesktopsAreTheFirstListedMapOfEveryDisplayCountedOnceAndSeparateOnesSummed) {
  auto& shared = make(SpacesMode::shared, 4);
  const auto id = shared.addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
  shared.addDisplay({.frame = CGRectMake(1440, 0, 1920, 1080)});
  manager().reloadScreens();
  ASSERT_EQ(manager().screens().size(), 2u);
  EXPECT_EQ(manager().screens()[0], (ScreenInfo{id, CGRectMake(0, 0, 1440, 900), numbered(shared.spaceUuids(), 0)}));
  EXPECT_EQ(manager().screens()[1].spaces, manager().screens()[0].spaces);
  EXPECT_EQ(manager().spaceCount(), 4);
  Numbers all = manager().allSpaceNumbers();
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (Numbers{0, 0, 1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(manager().spacesToVisit(), (Numbers{1, 2, 3}));

  auto& separate = make(SpacesMode::separate);
  separate.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .spaceCount = 3});
  separate.addDisplay({.frame = CGRectMake(1440, 0, 1920, 1080), .spaceCount = 2});
  manager().reloadScreens();
  EXPECT_EQ(manager().spaceCount(), 5);
  EXPECT_EQ(manager().currentSpaces(), (std::set<int>{0, 3}));
  EXPECT_EQ(manager().spacesToVisit(), (Numbers{1, 2, 4}));
  separate.scriptManagedDisplaySpaces(std::nullopt);  // without the window server's listing
  manager().reloadScreens();
  EXPECT_EQ(manager().spaceCount(), 1);
}

TEST_F(ScreenManagerSpaces, VisitedDesktopsGrowAsTheUserSwitches) {
  auto& s = make(SpacesMode::shared, 3);
  s.addDisplay({.frame = CGRectMake(0, 0, 100, 100)});
  s.switchToSpace(s.spaceUuids()[1]);
  manager().reloadScreens();
  EXPECT_EQ(manager().activedSpaces(), (std::set<int>{1}));
  EXPECT_EQ(manager().spacesToVisit(), (Numbers{0, 2}));
  s.switchToSpace(s.spaceUuids()[2]);
  manager().markCurrentSpacesVisited();
  EXPECT_EQ(manager().spacesToVisit(), (Numbers{0}));
  EXPECT_EQ(manager().currentSpaces(), (std::set<int>{2}));
  EXPECT_EQ(manager().currentSpaceIndex(NSScreen{CGRectMake(-50, -50, 1, 1), {}}), 2) << "shared: any screen";
  manager().clearActivedSpaces();
  EXPECT_EQ(manager().spacesToVisit(), (Numbers{0, 1, 2}));
}

TEST_F(ScreenManagerSpaces, CurrentDesktopOfADisplay) {
  auto& s = make(SpacesMode::separate);
  s.addDisplay({.frame = CGRectMake(0, 0, 100, 100), .spaceCount = 3});
  const auto second = s.addDisplay({.frame = CGRectMake(100, 0, 100, 100), .spaceCount = 3});
  s.switchToSpace(s.spaceUuids(second)[2]);
  manager().reloadScreens();
  const NSScreen right = screenAt(CGRectMake(100, 0, 100, 100));
  EXPECT_EQ(manager().currentSpaceIndex(right), 5);
  EXPECT_EQ(manager().currentSpaceIndex(screenAt(CGRectMake(0, 0, 100, 100))), 0);
  EXPECT_EQ(manager().currentSpaceIndex(std::nullopt), 0) << "separate desktops need a screen";
  // A desktop made after the last rebuild has no number yet.
  s.switchToSpace(s.addSpace(second));
  EXPECT_EQ(manager().currentSpaceIndex(right), 0);
}

}  // namespace
}  // namespace tilvane
