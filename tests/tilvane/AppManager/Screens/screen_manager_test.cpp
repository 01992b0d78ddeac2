#include <gtest/gtest.h>

#include <algorithm>

#include "AppManager/Screens/ScreenOrder.h"
#include "ScreensWorld.h"

namespace tilvane {
namespace {

using sim::SpacesMode;
using Numbers = std::vector<int>;

class ScreenManagerTest : public test::ScreensWorld {};

TEST_F(ScreenManagerTest, SeparateDesktopsAreSummedAndNumberedInWindowServerOrderWhateverTheScreenOrder) {
  auto& s = make(SpacesMode::separate);
  const auto left = s.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .spaceCount = 3});
  const auto right = s.addDisplay({.frame = CGRectMake(1440, 0, 1920, 1080), .spaceCount = 2});
  s.setManagedDisplayOrder({right, left});
  manager().reloadScreens();
  const auto& screens = manager().screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].id, left);
  EXPECT_EQ(screens[0].spaces, numbered(s.spaceUuids(left), 2));
  EXPECT_EQ(screens[1].id, right);
  EXPECT_EQ(screens[1].spaces, numbered(s.spaceUuids(right), 0));
  EXPECT_EQ(manager().spaceCount(), 5);
  EXPECT_EQ(manager().currentSpaces(), (std::set<int>{0, 2}));
  EXPECT_EQ(manager().spacesToVisit(), (std::vector<int>{1, 3, 4}));
  const NSScreen leftScreen = screenAt(CGRectMake(0, 0, 1440, 900));
  s.switchToSpace(s.spaceUuids(left)[2]);
  EXPECT_EQ(manager().currentSpaceIndex(leftScreen), 4);
  EXPECT_EQ(manager().currentSpaceIndex(std::nullopt), 0) << "separate desktops need a screen";
  s.switchToSpace(s.addSpace(left));  // a desktop made after the last rebuild has no number yet
  EXPECT_EQ(manager().currentSpaceIndex(leftScreen), 0);
  s.scriptManagedDisplaySpaces(std::nullopt);  // without the window server's listing
  manager().reloadScreens();
  EXPECT_EQ(manager().spaceCount(), 1);
}

TEST_F(ScreenManagerTest, SharedDesktopsAreTheFirstListedMapOfEveryDisplayCountedOnce) {
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
}

TEST_F(ScreenManagerTest, WithoutAListingDisplaysKeepNoDesktopsAndNothingIsVisited) {
  auto& s = make(SpacesMode::shared, 2);
  s.addDisplay({.frame = CGRectMake(0, 0, 100, 100)});
  s.scriptManagedDisplaySpaces(std::nullopt);
  manager().reloadScreens();
  EXPECT_TRUE(manager().screens()[0].spaces.empty());
  EXPECT_TRUE(manager().activedSpaces().empty());
}

TEST_F(ScreenManagerTest, VisitedDesktopsGrowAsTheUserSwitches) {
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

TEST_F(ScreenManagerTest, ListingEntriesNumberDesktopsInListedOrderAndMalformedOnesAreSkipped) {
  auto& s = make(SpacesMode::separate);
  const auto a = s.addDisplay({.frame = CGRectMake(0, 0, 100, 100), .spaceCount = 0});
  const auto b = s.addDisplay({.frame = CGRectMake(100, 0, 100, 100), .spaceCount = 0});
  const auto listing = [&](std::optional<ManagedSpace> current) {
    s.scriptManagedDisplaySpaces(ManagedDisplaySpaces{
        {std::nullopt, std::vector<ManagedSpace>{{"lost"}}, std::nullopt},  // no identifier: uses no number
        {"absent display", std::vector<ManagedSpace>{{"g1"}, {"g2"}}, std::nullopt},  // unmatched: uses 0 and 1
        {a, std::vector<ManagedSpace>{{"m"}, {"n"}, {"o"}}, current},
        {b, std::vector<ManagedSpace>{{"z"}, {std::nullopt}, {"a"}}, std::nullopt},  // one without uuid
    });
  };
  listing(std::nullopt);
  manager().reloadScreens();
  const NSScreen left = screenAt(CGRectMake(0, 0, 100, 100));
  EXPECT_EQ(manager().screens()[0].spaces, (std::map<std::string, int>{{"m", 2}, {"n", 3}, {"o", 4}}));
  EXPECT_EQ(manager().screens()[1].spaces, (std::map<std::string, int>{{"z", 5}, {"a", 6}}));
  EXPECT_EQ(manager().spaceNumbers(left), (std::vector<int>{2, 3, 4}));
  EXPECT_TRUE(manager().spaceNumbers(std::nullopt).empty());
  // A current desktop that is missing or has no uuid is number 0.
  EXPECT_EQ(manager().currentSpaceIndex(left), 0);
  listing(ManagedSpace{std::nullopt});
  EXPECT_EQ(manager().currentSpaceIndex(left), 0);
  listing(ManagedSpace{"n"});
  EXPECT_EQ(manager().currentSpaceIndex(left), 3);
  // A display the listing leaves out keeps no desktops.
  s.scriptManagedDisplaySpaces(ManagedDisplaySpaces{{b, std::nullopt, std::nullopt}});
  manager().reloadScreens();
  EXPECT_TRUE(manager().screens()[0].spaces.empty());
  EXPECT_TRUE(manager().screens()[1].spaces.empty());
}

TEST_F(ScreenManagerTest, ScreenOrderFollowsTheInsertionSort) {
  auto& s = make(SpacesMode::shared);
  // AppKit lists M at the origin, then L further left but higher: each comes before the other by the
  // predicate; the insertion sort moves L in front.
  const auto m = s.addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
  const auto above = s.addDisplay({.frame = CGRectMake(0, 900, 1440, 900)});
  const auto l = s.addDisplay({.frame = CGRectMake(-1920, 300, 1920, 1080)});
  manager().reloadScreens();
  ASSERT_EQ(manager().screens().size(), 3u);
  EXPECT_EQ(manager().screens()[0].id, l);
  EXPECT_EQ(manager().screens()[1].id, m);
  EXPECT_EQ(manager().screens()[2].id, above);
}

TEST(ScreenOrder, ManyDisplaysAndNaNsAreSortedTheSameWay) {
  std::vector<ScreenInfo> v;
  for (int i = 25; i > 0; --i) v.push_back(ScreenInfo{std::to_string(i), CGRectMake(i * 100.0, 0, 100, 100), {}});
  v.insert(v.begin() + 3, ScreenInfo{"nan", CGRectMake(std::nan(""), std::nan(""), 1, 1), {}});
  sortScreens(v);
  ASSERT_EQ(v.size(), 26u);
  // The NaN entry comes before nothing and nothing comes before it: it stays behind the entries that were in
  // front of it and stops the ones behind it.
  std::vector<std::string> ids = {"23", "24", "25", "nan"};
  for (int i = 1; i <= 22; ++i) ids.push_back(std::to_string(i));
  for (std::size_t i = 0; i < v.size(); ++i) EXPECT_EQ(v[i].id, ids[i]) << i;
}

TEST_F(ScreenManagerTest, LookupsAndTheNextScreenAnswerFromTheRightDisplayOrTheirFallback) {
  auto& s = make(SpacesMode::separate);
  const CGRect rightVisible = CGRectMake(1440, 0, 1920, 1050);
  s.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877),
                                  .spaceCount = 3});
  const auto right = s.addDisplay({.frame = CGRectMake(1440, 0, 1920, 1080), .visibleFrame = rightVisible, .spaceCount = 2});
  manager().reloadScreens();
  const NSScreen leftScreen = screenAt(CGRectMake(0, 0, 1440, 900));
  const NSScreen rightScreen = screenAt(CGRectMake(1440, 0, 1920, 1080));
  const NSScreen elsewhere{CGRectMake(9000, 9000, 10, 10), CGRectMake(9000, 9000, 10, 10)};

  EXPECT_EQ(manager().screenIndex(rightScreen), 1);
  EXPECT_EQ(manager().screenIndex(elsewhere), 0);

  EXPECT_EQ(manager().screenFrameAtIndex(1), rightVisible);
  EXPECT_EQ(manager().screenFrameAtIndex(5), CGRectMake(0, 0, 1440, 900)) << "the full frame of the first entry";
  EXPECT_EQ(manager().visibleFrame(right), rightVisible);
  EXPECT_EQ(manager().visibleFrame("nobody"), CGRectMake(0, 0, 1440, 900));

  EXPECT_EQ(manager().screenFrameForSpace(4), rightVisible);
  EXPECT_EQ(manager().screenFrameForSpace(1), CGRectMake(0, 0, 1440, 877));
  EXPECT_EQ(manager().screenFrameForSpace(9), CGRectMake(0, 0, 1440, 900));
  EXPECT_EQ(manager().screenForSpace(3), rightScreen);
  EXPECT_EQ(manager().screenForSpace(9), leftScreen);

  EXPECT_TRUE(manager().screenHasSpace(4, rightScreen));
  EXPECT_FALSE(manager().screenHasSpace(4, leftScreen));
  EXPECT_FALSE(manager().screenHasSpace(0, elsewhere));

  EXPECT_EQ(manager().nextScreen(leftScreen), rightScreen);
  EXPECT_EQ(manager().nextScreen(rightScreen), leftScreen);
  EXPECT_EQ(manager().nextScreen(elsewhere), leftScreen);
  s.setMainDisplay(right);
  EXPECT_EQ(manager().nextScreen(std::nullopt), rightScreen) << "the main screen";
}

TEST_F(ScreenManagerTest, WithoutAnyDisplayOrBackendEveryLookupAnswers) {
  const auto expectFallbacks = [](ScreenManager& m) {
    m.reloadScreens();
    m.markCurrentSpacesVisited();
    EXPECT_TRUE(m.screens().empty());
    EXPECT_EQ(m.screenFrameAtIndex(0), CGRect{});
    EXPECT_EQ(m.visibleFrame("x"), CGRect{});
    EXPECT_EQ(m.screenFrameForSpace(2), CGRect{});
    EXPECT_FALSE(m.screenForSpace(0));
    EXPECT_FALSE(m.screenHasSpace(0, NSScreen{}));
    EXPECT_FALSE(m.nextScreen(std::nullopt));
    EXPECT_EQ(m.currentSpaceIndex(NSScreen{}), 0);
    EXPECT_EQ(m.spaceCount(), 1);
    EXPECT_TRUE(m.spacesToVisit().empty());
  };
  {
    SCOPED_TRACE("no backend");
    ASSERT_EQ(Desktop::current(), nullptr);
    ScreenManager alone;
    expectFallbacks(alone);
  }
  SCOPED_TRACE("no display");
  make(SpacesMode::separate);
  expectFallbacks(manager());
}

}  // namespace
}  // namespace tilvane
