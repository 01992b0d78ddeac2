#include <gtest/gtest.h>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WindowMovingModel.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/store/Database.h"
#include "platform/store/RawSql.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using test::fractionsOf;

// Windows admitted and settled (their own placement stored, no longer layouting) before each move.
class RecordingTest : public test::WindowWorld {
 protected:
  RecordingTest() { startManagers(); }
  /// A settled window of half the display's width with its left edge at `x`.
  AXUIElement settled(double x = 0) { return settledWindow({.frame = CGRectMake(x, 23, 720, 877)}); }
  void move(const AXUIElement& w, double x, double width = 720) {
    apps().userMoveWindow(w, CGRectMake(x, 23, width, 877));
  }
  CGRect stored(const AXUIElement& w) { return fractionsOf(*itemOf(w)->layoutModel()); }
  LayoutManager& manager() { return LayoutManager::shared(); }
  /// Records from now on where `w` stands at each commit that changes remembered placements.
  void watchCommits(const AXUIElement& w) {
    database_->changes()
        .subscribe([this, w](const store::ChangeNotification& change) {
          if (change.classNames.count("AutoLayoutModel") > 0) framesAtCommit.push_back(frameOf(w));
        })
        .disposed(bag_);
  }
  std::vector<CGRect> framesAtCommit;

 private:
  const std::shared_ptr<store::Database> database_ = store::Database::open();
  rx::DisposeBag bag_;
};

TEST_F(RecordingTest, MovesAreWrittenInOneTransactionTwoSecondsAfterTheirWindowsLastOne) {
  const AXUIElement a = settled();
  const AXUIElement b = settled(720);
  watchCommits(a);
  const std::size_t historyBefore = history().size();
  move(a, 100);
  advance(0.5);
  move(a, 360);
  advance(0.5);
  move(b, 360, 1080);
  advance(1.499);
  EXPECT_EQ(stored(a), CGRectMake(0, 0, 0.5, 1));
  // a has been quiet for 2.0 s: everything queued goes in the same transaction, b's move too.
  advance(0.001);
  EXPECT_EQ(framesAtCommit.size(), 1u);
  EXPECT_EQ(stored(a), CGRectMake(0.25, 0, 0.5, 1));
  EXPECT_EQ(stored(b), CGRectMake(0.25, 0, 0.75, 1));
  const auto written = history();
  ASSERT_EQ(written.size(), historyBefore + 2);
  const WindowMovingModel& record = *written.back();
  EXPECT_EQ((std::vector<std::int64_t>{record.x(), record.y(), record.width(), record.height(), record.screenX(),
                                       record.screenY(), record.screenWidth(), record.screenHeight()}),
            (std::vector<std::int64_t>{360, 23, 1080, 877, 0, 0, 1440, 900}));
  advance(3.0);
  EXPECT_EQ(framesAtCommit.size(), 1u) << "nothing left to write";
}

// Each write of the history also trims it to its newest records: one write for every window's record of a
// flush, not one each.
TEST_F(RecordingTest, AFlushWritesTheHistoryOfEveryMovedWindowInOneWrite) {
  std::vector<AXUIElement> windows;
  for (int i = 0; i < 6; ++i) windows.push_back(settled(100.0 * i));
  const std::size_t historyBefore = history().size();
  for (std::size_t i = 0; i < windows.size(); ++i) move(windows[i], 40.0 + 100.0 * static_cast<double>(i));
  const std::uint64_t writesBefore = store::Database::open()->writesBegun();
  advance(LayoutManager::kQuietPeriod);
  EXPECT_EQ(history().size(), historyBefore + windows.size());
  EXPECT_LE(store::Database::open()->writesBegun() - writesBefore, 3u)
      << "the turn's shared commit, the records' write and the history's";
}

// However another window behaves, a move is on disk (committed: a killed process keeps it) within the longest
// wait.
TEST_F(RecordingTest, AWindowThatNeverStopsMovingHoldsBackNoOtherWindowsMove) {
  const AXUIElement restless = settled();
  const AXUIElement w = settled(720);
  const std::string id = itemOf(w)->layoutModel()->id();
  const auto onDisk = [&] {
    return store::test::querySql(store::Configuration::defaultFileURL(),
                                 "SELECT width FROM AutoLayoutModel WHERE id = '" + id + "'");
  };
  const std::string before = onDisk();
  for (int second = 0; second < 30; ++second) {
    move(restless, second % 2 ? 100 : 200);
    if (second == 3) move(w, 360, 1080);
    advance(1.0);
    if (second == 3 + static_cast<int>(LayoutManager::kLongestWait) - 1) {
      EXPECT_NE(onDisk(), before) << "not written within " << LayoutManager::kLongestWait << " s of the move";
    }
  }
  EXPECT_EQ(stored(w), CGRectMake(0.25, 0, 0.75, 1));
}

TEST_F(RecordingTest, MovesWhileLayoutingOrToTheSamePlaceQueueNothing) {
  const AXUIElement w = admitWindow({.frame = CGRectMake(0, 23, 720, 877)});
  move(w, 300);
  EXPECT_TRUE(manager().updateQueue().empty()) << "the window is being laid out";
  drain();
  move(w, 0);
  drain();
  EXPECT_TRUE(manager().updateQueue().empty()) << "back where its record puts it";
}

TEST_F(RecordingTest, ASavedPlacementsHistoryFollowsHalfASecondLaterAndQuittingWritesWhatIsStillWaiting) {
  const AXUIElement w = settled();
  const AXUIElement saved = settled(720);
  const std::size_t historyBefore = history().size();
  manager().saveLayout(SIWindow(w), CGRectMake(0.5, 0, 0.5, 1));
  EXPECT_EQ(stored(w), CGRectMake(0.5, 0, 0.5, 1)) << "saved at once";
  advance(0.1);
  move(w, 300);
  advance(0.399);
  EXPECT_EQ(manager().updateQueue().size(), 1u) << "a move right after a placement is the user's";
  EXPECT_EQ(history().size(), historyBefore);
  advance(0.001);
  EXPECT_EQ(history().size(), historyBefore + 1);

  move(w, 360);
  drain();
  manager().saveLayout(SIWindow(saved), CGRectMake(0, 0, 1, 1));
  advance(0.2);
  watchCommits(w);
  manager().flushPendingUpdates();
  EXPECT_EQ(framesAtCommit.size(), 1u) << "committed before the program ends";
  EXPECT_EQ(stored(w), CGRectMake(0.25, 0, 0.5, 1));
  EXPECT_EQ(history().size(), historyBefore + 3);
  advance(3.0);
  EXPECT_EQ(history().size(), historyBefore + 3) << "nothing is written twice when the timers come due";
}

TEST_F(RecordingTest, AUserMoveRightAfterAHotKeysPlacementIsRememberedButThePlacementsOwnReportsAreNot) {
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  const AXUIElement w = settled();
  const AXUIElement other = settled(720);
  for (const double after : {0.1, 0.3}) {
    SCOPED_TRACE(after);
    // As the hot key does: three requests for the right half (with gaps), and the placement saved.
    SIWindow window(w);
    placeFrame(window, CGRectMake(720, 23, 720, 877), GaplessOrder::positionSizePosition);
    manager().saveLayout(window, CGRectMake(0.5, 0, 0.5, 1));
    drain();
    EXPECT_EQ(frameOf(w), CGRectMake(728, 31, 704, 861));
    EXPECT_TRUE(manager().updateQueue().empty()) << "the placement's own reports are not moves";
    advance(after);
    move(w, 100, 704);
    advance(LayoutManager::kQuietPeriod);
    // The place that gives it that frame with gaps: the gap added back, also against the display's edges.
    const CGRect placed =
        insetByGap(askedFrame(recordedPlaceOf(*itemOf(w)->layoutModel()), CGRectMake(0, 0, 1440, 877)), 8);
    EXPECT_EQ(placed, frameOf(w));
    EXPECT_EQ(frameOf(w), CGRectMake(100, 23, 704, 877));
    EXPECT_TRUE(manager().updateQueue().empty());
  }
  // A placement that ends elsewhere than asked (bent by the window system) swallows no later move.
  SIWindow bent(other);
  placeFrame(bent, CGRectMake(0, 23, 720, 877), GaplessOrder::setFrame);
  apps().userMoveWindow(other, CGRectMake(8, 23, 720, 877));
  drain();
  EXPECT_EQ(manager().updateQueue().size(), 1u) << "a frame the placement did not ask for is recorded";
}

TEST_F(RecordingTest, TheHistoryKeepsItsNewestRecordsOnly) {
  const AXUIElement w = settled();
  const auto file = store::Configuration::defaultFileURL();
  store::test::execSql(file, "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                                 std::to_string(LayoutManager::kHistoryLimit - 1) +
                                 ") INSERT INTO WindowMovingModel (id) SELECT 'old-' || i FROM n");
  move(w, 360);
  advance(LayoutManager::kQuietPeriod);
  EXPECT_EQ(store::test::querySql(file, "SELECT count(*) FROM WindowMovingModel"),
            std::to_string(LayoutManager::kHistoryLimit));
  EXPECT_EQ(store::test::querySql(file, "SELECT count(*) FROM WindowMovingModel WHERE id LIKE 'old-%'"),
            std::to_string(LayoutManager::kHistoryLimit - 1))
      << "the records written before them went first, then the oldest of them";
  EXPECT_EQ(store::test::querySql(file, "SELECT id FROM WindowMovingModel ORDER BY rowid LIMIT 1"), "old-1");
}

TEST_F(RecordingTest, PlacementsSavedTogetherAreCommittedOnceAfterTheMoveQueuedBeforeThem) {
  const AXUIElement w = settled();
  const AXUIElement other = settled(720);
  watchCommits(w);
  manager().layoutOperationQueue().addOperation(
      std::make_shared<CustomLayoutOperation>(SIWindow(w), CGRectMake(0, 23, 1440, 877)));
  manager().saveLayout(SIWindow(w), CGRectMake(0, 0, 1, 1));
  manager().saveLayout(SIWindow(other), CGRectMake(0.5, 0, 0.5, 1));
  drain();
  EXPECT_EQ(framesAtCommit, std::vector<CGRect>{CGRectMake(0, 23, 1440, 877)});
}

TEST_F(RecordingTest, AClosedWindowsLastMoveIsStillRemembered) {
  const AXUIElement w = settled();
  const auto record = itemOf(w)->layoutModel();
  move(w, 360);
  drain();
  apps().closeWindow(w);
  advance(2.0);
  EXPECT_EQ(fractionsOf(*record), CGRectMake(0.25, 0, 0.5, 1));
}

}  // namespace
}  // namespace tilvane

namespace tilvane {
namespace {

class DesktopRecordingTest : public test::WindowWorld {
 protected:
  DesktopRecordingTest() : WindowWorld(3) { startManagers(); }
};

TEST_F(DesktopRecordingTest, AWindowPutOnAnotherDesktopKeepsItsPlaceAndItsRecordTakesTheDesktop) {
  const AXUIElement w = settledWindow({.frame = CGRectMake(0, 23, 720, 877)});
  const AutoLayoutModelPtr record = itemOf(w)->layoutModel();
  ASSERT_EQ(record->spaceIndex(), 0);

  // Where the program put it, then on the third desktop: the placement's fractions stay, the desktop follows.
  SIWindow window(w);
  placeFrame(window, CGRectMake(720, 23, 720, 877), GaplessOrder::setFrame);
  LayoutManager::shared().saveLayout(window, CGRectMake(0.5, 0, 0.5, 1));
  drain();
  ASSERT_TRUE(apps().moveWindowToSpace(w, 3));
  drain();
  EXPECT_EQ(LayoutManager::shared().updateQueue().size(), 1u);
  advance(LayoutManager::kQuietPeriod);
  EXPECT_EQ(record->spaceIndex(), 2);
  EXPECT_EQ(test::fractionsOf(*record), CGRectMake(0.5, 0, 0.5, 1));

  // Moved by the user there, then back to the first desktop within the quiet period: one write of both.
  apps().userMoveWindow(w, CGRectMake(360, 23, 720, 877));
  ASSERT_TRUE(apps().moveWindowToSpace(w, 1));
  drain();
  advance(LayoutManager::kQuietPeriod);
  EXPECT_EQ(record->spaceIndex(), 0);
  EXPECT_DOUBLE_EQ(record->x(), 0.25);

  // Put on the desktop it is on already: nothing to record.
  ASSERT_TRUE(apps().moveWindowToSpace(w, 1));
  drain();
  EXPECT_TRUE(LayoutManager::shared().updateQueue().empty());
}

}  // namespace
}  // namespace tilvane
