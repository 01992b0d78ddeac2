#include <gtest/gtest.h>

#include <algorithm>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Layout/WindowIndex/WindowIndexRegistry.h"
#include "Models/AutoLayoutModel.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/AppManager/Screens/ScreensWorld.h"

namespace tilvane {
namespace {

class ScreenChangesTest : public test::WindowWorld {
 protected:
  ScreenChangesTest() : WindowWorld(2) { startManagers(); }
  ScreenManager& screens() { return ScreenManager::shared(); }
  LayoutManager& layout() { return LayoutManager::shared(); }
  const sim::SimDisplayConfig right{.frame = CGRectMake(1440, 0, 1920, 1080)};
};

TEST_F(ScreenChangesTest, AChangeThatKeepsTheDisplaySetOnlySettlesUntilOneSecondAfterTheLastOfCloseChanges) {
  const AXUIElement w = admitWindow({});
  const auto item = itemOf(w);
  const std::string identifier = screens().displayIdentifier();
  sim().rearrangeDisplay(sim().displayUuids()[0], CGRectMake(0, 0, 1440, 900), CGRectMake(0, 0, 1440, 870));
  drain();
  EXPECT_TRUE(screens().isScreenChanging());
  EXPECT_EQ(screens().displayIdentifier(), identifier);
  EXPECT_FALSE(log.contains("rx screen changed"));
  EXPECT_EQ(itemOf(w), item);
  advance(0.6);
  sim().rearrangeDisplay(sim().displayUuids()[0], CGRectMake(0, 0, 1440, 900));
  drain();
  advance(0.999);
  EXPECT_TRUE(screens().isScreenChanging()) << "a later change is not cut short by the first one's timer";
  advance(0.001);
  EXPECT_FALSE(screens().isScreenChanging());
  // Waking from sleep changes nothing.
  log.clear();
  sim().wake();
  advance(2.0);
  EXPECT_TRUE(log.lines().empty());
  EXPECT_FALSE(screens().isScreenChanging());
}

TEST_F(ScreenChangesTest, AttachingADisplayReloadsEveryWindowAndIgnoresMovesWhileItSettles) {
  const AXUIElement w = admitWindow({.frame = CGRectMake(0, 23, 720, 877)});
  advance(2.5);
  const auto before = itemOf(w);
  ASSERT_FALSE(screens().activedSpaces().empty());
  log.clear();

  sim().connectDisplay(right);
  drain();
  EXPECT_EQ(logLines("screen"), (std::vector<std::string>{"ℹ️ rx screen changed", "ℹ️ screen params changed"}));
  EXPECT_TRUE(screens().activedSpaces().empty());
  auto uuids = sim().displayUuids();  // shared desktops: each display counts both
  std::sort(uuids.begin(), uuids.end());
  EXPECT_EQ(screens().displayIdentifier(), "[" + uuids[0] + "_2]-[" + uuids[1] + "_2]");
  ASSERT_EQ(WindowManager::shared().windows().size(), 1u);
  ASSERT_TRUE(itemOf(w));
  EXPECT_NE(itemOf(w), before) << "every item was dropped and made again";
  EXPECT_EQ(itemOf(w)->layoutModel()->id(), "org.example.Editor-0-1") << "found again as the same window";
  EXPECT_EQ(logLines("add window(").size(), 1u);

  advance(2.5);  // the new layout settles; the display change has settled too
  apps().userMoveWindow(w, CGRectMake(10, 23, 720, 877));
  advance(2.0);
  EXPECT_EQ(itemOf(w)->layoutModel()->x(), 10.0 / 1440);

  sim().disconnectDisplay(sim().displayUuids()[1]);
  advance(0.5);
  apps().userMoveWindow(w, CGRectMake(20, 23, 720, 877));
  drain();
  EXPECT_TRUE(layout().updateQueue().empty()) << "moves within 1.0 s of the change are not recorded";
}

TEST_F(ScreenChangesTest, AReleasedIndexNeverLandsInTheRegistryThatReplacedItsOwn) {
  // Slots remembered from earlier sessions, with one display and with two, of some other window.
  storeRecord("org.example.Editor", 0, CGRectMake(0, 0, 0.5, 1), 1);
  const auto twoDisplays = storeRecord("org.example.Editor", 0, CGRectMake(0, 0, 0.5, 1), 2);
  const AXUIElement a = admitWindow({.frame = CGRectMake(0, 23, 720, 877)});
  advance(2.5);
  apps().userMoveWindow(a, CGRectMake(10, 23, 720, 877));  // keeps the old item waiting to be written
  drain();
  sim().connectDisplay(right);
  drain();
  ASSERT_EQ(itemOf(a)->layoutModel(), twoDisplays);
  advance(2.0);  // the old item is written and let go
  const AXUIElement b = admitWindow({.frame = CGRectMake(720, 23, 720, 877)});
  ASSERT_TRUE(itemOf(b));
  EXPECT_NE(itemOf(b)->layoutModel(), itemOf(a)->layoutModel()) << "two windows never share one record";
  EXPECT_EQ(itemOf(b)->layoutModel()->id(), "org.example.Editor-1-2");
  EXPECT_EQ(WindowIndexRegistry::current()->indexes("org.example.Editor"), (std::vector<std::int64_t>{0, 1}));
}

TEST_F(ScreenChangesTest, SwitchingDesktopsMarksThemVisitedAndLoadsTheWindowsShown) {
  const auto spaces = sim().spaceUuids();
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Mail",
                                           .windows = {{.title = "Inbox"}, {.title = "Draft", .spaceUuid = spaces[1]}}});
  ApplicationManager::shared().addApplication(SIApplication(pid));
  advance(1.0);
  ASSERT_EQ(WindowManager::shared().windows().size(), 1u);
  const auto maps = screens().screens();
  EXPECT_EQ(screens().activedSpaces(), std::set<int>{0});

  sim().switchToSpace(spaces[1]);
  drain();
  EXPECT_EQ(screens().activedSpaces(), (std::set<int>{0, 1}));
  EXPECT_EQ(WindowManager::shared().windows().size(), 2u);
  EXPECT_EQ(screens().screens(), maps);
}

class DisplayIdentifierTest : public test::ScreensWorld {};

TEST_F(DisplayIdentifierTest, SeparateDesktopsAreCountedPerDisplay) {
  auto& s = make(sim::SpacesMode::separate);
  s.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .uuid = "B", .spaceCount = 2});
  s.addDisplay({.frame = CGRectMake(1440, 0, 1440, 900), .uuid = "A", .spaceCount = 4});
  manager().reloadScreens();
  EXPECT_EQ(manager().makeDisplayIdentifier(), "[A_4]-[B_2]");
}

}  // namespace
}  // namespace tilvane
