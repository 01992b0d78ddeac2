#include <gtest/gtest.h>

#include <thread>

#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using test::fractionsOf;

// One display with three shared desktops.
class LayoutManagerTest : public test::WindowWorld {
 protected:
  LayoutManagerTest() : WindowWorld(3) { startManagers(); }
  LayoutManager& manager() { return LayoutManager::shared(); }
  static void write(const std::function<void()>& change) { store::Database::open()->write(change); }
  /// A window of the editor that is not admitted.
  SIWindow window() {
    return SIWindow(apps().addWindow(apps().addApplication({.bundleIdentifier = "org.example.Editor"}), {}));
  }
};

TEST_F(LayoutManagerTest, WithAutomaticLayoutOffAWindowIsAdmittedAndItsRecordRefreshedButNotMoved) {
  defaults::UserDefaults::standard().setInteger(UserDefaultsService::autoLayoutEnabledKey(), 0);
  const auto record = storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  write([&] { record->setScreenIndex(-1); });
  const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 400, 300)});
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 400, 300));
  EXPECT_EQ(record->screenIndex(), 0) << "the record is bound to the window and completed";
  admitWindow({}, "org.example.Viewer");
  drain();
  EXPECT_EQ(records().size(), 2u) << "a new record is stored all the same, so the user's moves are kept";

  // Switching it on lays out every window again, after the switch has returned.
  UserDefaultsService::setAutoLayoutEnabled(1);
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 400, 300));
  drain();
  EXPECT_EQ(frameOf(w), CGRectMake(720, 23, 720, 877));
}

// The program's own placements are told from the user's moves by frame, not by a quiet time after them: a
// user's move right after a window is taken in, at its remembered frame or where it stands, is kept.
TEST_F(LayoutManagerTest, AUsersMoveRightAfterALayoutIsRememberedButTheLayoutsOwnReportsAreNot) {
  const CGRect visible = NSScreen::screens()[0].visibleFrame;
  for (const bool remembered : {true, false}) {
    SCOPED_TRACE(remembered ? "remembered" : "new");
    const std::string bundle = remembered ? "org.example.Kept" : "org.example.New";
    if (remembered) storeRecord(bundle, 0, CGRectMake(0.5, 0, 0.5, 1));
    const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 400, 300)}, bundle);
    const auto item = itemOf(w);
    ASSERT_TRUE(item && item->isLayouting()) << "reports before the operation ran show where the window was";
    drain();
    EXPECT_FALSE(item->isLayouting());
    const CGRect placed = remembered ? CGRectMake(720, 23, 720, 877) : CGRectMake(100, 100, 400, 300);
    advance(0.1);
    EXPECT_EQ(fractionsOf(*item->layoutModel()), TransformUtils::ratio(placed, visible)) << "the layout's own reports";
    apps().userMoveWindow(w, CGRectMake(50, 60, 500, 400));
    advance(LayoutManager::kQuietPeriod);
    EXPECT_EQ(fractionsOf(*item->layoutModel()), TransformUtils::ratio(CGRectMake(50, 60, 500, 400), visible));
  }
}

TEST_F(LayoutManagerTest, DuringAWorkspaceRestoreANewWindowIsRecordedAndReleasedLater) {
  manager().setWorkspaceRunning(true);
  const AXUIElement fresh = admitWindow({.frame = CGRectMake(50, 60, 400, 300)});
  drain();
  EXPECT_EQ(frameOf(fresh), CGRectMake(50, 60, 400, 300));
  EXPECT_EQ(records().size(), 1u) << "its record is stored";
  // Its mark is cleared all the same, so the user's later moves of it are remembered.
  advance(2.5);
  apps().userMoveWindow(fresh, CGRectMake(0, 23, 720, 877));
  advance(2.0);
  EXPECT_EQ(fractionsOf(*itemOf(fresh)->layoutModel()), CGRectMake(0, 0, 0.5, 1));
}

TEST_F(LayoutManagerTest, RemovingAWindowDropsEveryItemThatHoldsIt) {
  const AXUIElement w = admitWindow({});
  manager().addWindow(SIWindow(w));
  const AXUIElement other = admitWindow({});
  manager().removeWindow(SIWindow(w));
  ASSERT_EQ(manager().layoutItems().size(), 1u);
  EXPECT_EQ(manager().layoutItems()[0]->window(), SIWindow(other));
}

TEST_F(LayoutManagerTest, AClosedWindowsIndexGoesToTheNextNewWindowAtOnce) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  storeRecord("org.example.Editor", 1, CGRectMake(0, 0, 0.5, 1));
  const AXUIElement first = admitWindow({});
  EXPECT_EQ(itemOf(admitWindow({}))->layoutModel()->windowIndex(), 1);
  // A recorded move keeps the item alive until the next write; the index must not wait for it.
  advance(2.5);
  apps().userMoveWindow(first, CGRectMake(0, 23, 400, 300));
  drain();
  ASSERT_FALSE(manager().updateQueue().empty());
  apps().closeWindow(first);
  drain();
  const AXUIElement third = admitWindow({});
  drain();
  EXPECT_EQ(itemOf(third)->layoutModel()->id(), "org.example.Editor-0-1");
  // Placed where the record's last window was last moved: its latest place, written before it was read.
  EXPECT_EQ(frameOf(third), CGRectMake(0, 23, 400, 300));
}

TEST_F(LayoutManagerTest, UpdateModelPositionFillsOnlyWhatIsUnknownAndLeavesADeletedRecordAlone) {
  sim().switchToSpace(sim().spaceUuids()[1]);
  ScreenManager::shared().reloadScreens();
  LayoutItem item{window()};
  const auto record = storeRecord("org.example.Editor", 0, CGRectMake(0, 0, 1, 1), 1, 0, 5);
  write([&] { record->setSpaceIndex(-1); });
  item.setLayoutModel(record);
  item.updateModelPosition();
  EXPECT_EQ(record->screenIndex(), 5);
  EXPECT_EQ(record->spaceIndex(), 1);
  write([&] { store::Database::open()->remove(record); });
  item.updateModelPosition();
  EXPECT_TRUE(record->isInvalidated());
}

// Windows come by the dozen (an application starting, the program starting): the turn's new records are stored
// by one write, and meanwhile each window finds those admitted before it, as if they were stored already.
TEST_F(LayoutManagerTest, WindowsAdmittedTogetherAreStoredByOneWriteAndFindEachOther) {
  StoreService::shared().setFirstRunSpaces({});
  sim::SimApplicationConfig viewer{.bundleIdentifier = "org.example.Viewer"};
  viewer.windows.push_back({.frame = CGRectMake(0, 23, 720, 877)});  // the left half
  for (int w = 1; w < 20; ++w) viewer.windows.push_back({.frame = CGRectMake(100.0 + w, 100, 400, 300)});
  const auto database = store::Database::open();
  const std::uint64_t before = database->writesBegun();
  const pid_t pid = apps().launchApplication(viewer);
  advance(1.0);  // its windows are admitted and laid out
  EXPECT_LE(database->writesBegun() - before, 2u) << "the turn's shared commit and one write in it, not one per window";
  for (const AXUIElement& w : apps().windowsOf(pid))
    EXPECT_EQ(frameOf(w), CGRectMake(0, 23, 720, 877)) << "each later window takes the first one's half";
  std::size_t committed = 0;
  std::thread([&] { committed = store::Database::open()->objects<AutoLayoutModel>().size(); }).join();
  EXPECT_EQ(committed, 20u) << "stored and committed by the end of the turn";
}

TEST_F(LayoutManagerTest, ANewRecordStillWaitingForItsWriteIsStoredWhenTheProgramQuits) {
  admitWindow({});
  ASSERT_TRUE(records().empty()) << "the turn's write is still to come";
  manager().flushPendingUpdates();
  std::size_t committed = 0;
  std::thread([&] { committed = store::Database::open()->objects<AutoLayoutModel>().size(); }).join();
  EXPECT_EQ(committed, 1u);
}

}  // namespace
}  // namespace tilvane
