#include <gtest/gtest.h>

#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WindowMovingModel.h"
#include "platform/store/Database.h"
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

TEST_F(RecordingTest, MovesAreWrittenInOneTransactionTwoSecondsAfterTheLastOne) {
  const AXUIElement a = settled();
  const AXUIElement b = settled(720);
  watchCommits(a);
  const std::size_t historyBefore = history().size();
  move(a, 100);
  advance(0.5);
  move(a, 360);
  advance(0.5);
  move(b, 360, 1080);
  advance(1.999);
  EXPECT_EQ(stored(a), CGRectMake(0, 0, 0.5, 1));
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
}

TEST_F(RecordingTest, MovesWhileLayoutingOrToTheSamePlaceQueueNothing) {
  const AXUIElement w = admitWindow({.frame = CGRectMake(0, 23, 720, 877)});
  drain();
  move(w, 300);
  drain();
  EXPECT_TRUE(manager().updateQueue().empty()) << "the window is being laid out";
  advance(2.5);
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
  move(w, 300);
  advance(0.499);
  EXPECT_TRUE(manager().updateQueue().empty()) << "moves are ignored until the history is written";
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
