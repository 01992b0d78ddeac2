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
  AXUIElement settledWindow(CGRect frame = CGRectMake(0, 23, 720, 877)) {
    const AXUIElement w = admitWindow({.frame = frame});
    advance(2.5);
    return w;
  }
  CGRect stored(const AXUIElement& w) { return fractionsOf(*itemOf(w)->layoutModel()); }
  // Commits of the database that changed remembered placements.
  int placementCommits() const { return placementCommits_; }
  void countCommits() {
    database_ = store::Database::open();
    database_->changes()
        .subscribe([this](const store::ChangeNotification& change) {
          placementCommits_ += change.classNames.count("AutoLayoutModel") > 0;
        })
        .disposed(bag_);
  }
  LayoutManager& manager() { return LayoutManager::shared(); }

 private:
  std::shared_ptr<store::Database> database_;
  rx::DisposeBag bag_;
  int placementCommits_ = 0;
};

TEST_F(RecordingTest, ADragIsWrittenOnceTwoSecondsAfterItsLastMove) {
  const AXUIElement w = settledWindow();
  const std::size_t historyBefore = history().size();
  apps().userMoveWindow(w, CGRectMake(100, 23, 720, 877));
  advance(0.5);
  apps().userMoveWindow(w, CGRectMake(200, 23, 720, 877));
  advance(0.5);
  apps().userMoveWindow(w, CGRectMake(360, 23, 720, 877));
  advance(1.999);
  EXPECT_EQ(stored(w), CGRectMake(0, 0, 0.5, 1));
  advance(0.001);
  EXPECT_EQ(stored(w), CGRectMake(0.25, 0, 0.5, 1));
  const auto written = history();
  ASSERT_EQ(written.size(), historyBefore + 1);
  const WindowMovingModel& record = *written.back();
  EXPECT_EQ(record.bundleIdentifier(), "org.example.Editor");
  EXPECT_EQ((std::vector<std::int64_t>{record.x(), record.y(), record.width(), record.height()}),
            (std::vector<std::int64_t>{360, 23, 720, 877}));
  EXPECT_EQ((std::vector<std::int64_t>{record.screenX(), record.screenY(), record.screenWidth(), record.screenHeight()}),
            (std::vector<std::int64_t>{0, 0, 1440, 900}));
  EXPECT_EQ(record.screenCount(), 1);
}

TEST_F(RecordingTest, MovesSeparatedByTwoQuietSecondsAreWrittenTwice) {
  const AXUIElement w = settledWindow();
  const std::size_t historyBefore = history().size();
  apps().userMoveWindow(w, CGRectMake(100, 23, 720, 877));
  advance(2.0);
  apps().userMoveWindow(w, CGRectMake(200, 23, 720, 877));
  advance(2.0);
  EXPECT_EQ(history().size(), historyBefore + 2);
}

TEST_F(RecordingTest, TwoWindowsMovedTogetherAreWrittenInOneTransaction) {
  const AXUIElement a = settledWindow();
  const AXUIElement b = settledWindow(CGRectMake(720, 23, 720, 877));
  countCommits();
  apps().userMoveWindow(a, CGRectMake(0, 23, 360, 877));
  advance(1.0);
  apps().userMoveWindow(b, CGRectMake(360, 23, 1080, 877));
  advance(2.0);
  EXPECT_EQ(placementCommits(), 1);
  EXPECT_EQ(stored(a), CGRectMake(0, 0, 0.25, 1));
  EXPECT_EQ(stored(b), CGRectMake(0.25, 0, 0.75, 1));
}

TEST_F(RecordingTest, NearlyTheWholeWidthIsRecordedAsTheWholeWidth) {
  const AXUIElement w = settledWindow();
  apps().userMoveWindow(w, CGRectMake(0, 23, 1440 * 0.97, 877));
  advance(2.0);
  EXPECT_EQ(stored(w).size.width, 1.0);
}

TEST_F(RecordingTest, MovesWhileLayoutingOrToTheSamePlaceQueueNothing) {
  const AXUIElement w = admitWindow({.frame = CGRectMake(0, 23, 720, 877)});
  drain();
  apps().userMoveWindow(w, CGRectMake(300, 23, 720, 877));
  drain();
  EXPECT_TRUE(manager().updateQueue().empty()) << "the window is being laid out";
  advance(2.5);
  apps().userMoveWindow(w, CGRectMake(0, 23, 720, 877));
  apps().userMoveWindow(w, CGRectMake(0, 23, 720, 877));
  drain();
  EXPECT_TRUE(manager().updateQueue().empty()) << "back where its record puts it";
}

TEST_F(RecordingTest, AfterASavedPlacementMovesAreIgnoredForHalfASecond) {
  const AXUIElement w = settledWindow();
  const std::size_t historyBefore = history().size();
  manager().saveLayout(SIWindow(w), CGRectMake(0.5, 0, 0.5, 1));
  EXPECT_EQ(stored(w), CGRectMake(0.5, 0, 0.5, 1)) << "saved at once";
  apps().userMoveWindow(w, CGRectMake(300, 23, 720, 877));
  advance(0.499);
  EXPECT_TRUE(manager().updateQueue().empty());
  EXPECT_EQ(history().size(), historyBefore);
  advance(0.001);
  EXPECT_EQ(history().size(), historyBefore + 1);
  apps().userMoveWindow(w, CGRectMake(310, 23, 720, 877));
  drain();
  EXPECT_EQ(manager().updateQueue().size(), 1u);
}

TEST_F(RecordingTest, QuittingWritesWhatIsStillWaiting) {
  const AXUIElement w = settledWindow();
  const AXUIElement saved = settledWindow(CGRectMake(720, 23, 720, 877));
  const std::size_t historyBefore = history().size();
  apps().userMoveWindow(w, CGRectMake(360, 23, 720, 877));
  drain();
  manager().saveLayout(SIWindow(saved), CGRectMake(0, 0, 1, 1));
  advance(0.2);
  countCommits();
  manager().flushPendingUpdates();
  EXPECT_EQ(placementCommits(), 1) << "committed before the program ends";
  EXPECT_EQ(stored(w), CGRectMake(0.25, 0, 0.5, 1));
  EXPECT_EQ(history().size(), historyBefore + 2);
  EXPECT_FALSE(itemOf(saved)->isLayouting());
  // Nothing is written twice when the timers come due after all.
  advance(3.0);
  EXPECT_EQ(history().size(), historyBefore + 2);
}

TEST_F(RecordingTest, PlacementsSavedTogetherAreCommittedOnceAfterTheMoveQueuedBeforeThem) {
  const AXUIElement w = settledWindow();
  const AXUIElement other = settledWindow(CGRectMake(720, 23, 720, 877));
  const CGRect before = frameOf(w);
  std::vector<CGRect> framesAtCommit;
  rx::DisposeBag bag;
  store::Database::open()
      ->changes()
      .subscribe([&](const store::ChangeNotification&) { framesAtCommit.push_back(frameOf(w)); })
      .disposed(bag);
  manager().layoutOperationQueue().addOperation(
      std::make_shared<CustomLayoutOperation>(SIWindow(w), CGRectMake(0, 23, 1440, 877)));
  manager().saveLayout(SIWindow(w), CGRectMake(0, 0, 1, 1));
  manager().saveLayout(SIWindow(other), CGRectMake(0.5, 0, 0.5, 1));
  drain();
  ASSERT_EQ(framesAtCommit.size(), 1u);
  EXPECT_NE(framesAtCommit[0], before) << "the window was moved before the commit";
}

TEST_F(RecordingTest, AClosedWindowsLastMoveIsStillRemembered) {
  const AXUIElement w = settledWindow();
  const auto record = itemOf(w)->layoutModel();
  apps().userMoveWindow(w, CGRectMake(360, 23, 720, 877));
  drain();
  apps().closeWindow(w);
  advance(2.0);
  EXPECT_EQ(fractionsOf(*record), CGRectMake(0.25, 0, 0.5, 1));
}

}  // namespace
}  // namespace tilvane
