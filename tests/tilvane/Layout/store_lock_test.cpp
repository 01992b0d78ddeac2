// Another program (a backup tool, a database browser) holding the database's write lock: the main loop never
// waits for it, nothing the user did meanwhile is lost, and the user hears once that remembering is held up and
// once that it goes on.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "platform/store/RawSql.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using test::fractionsOf;

/// A connection of another program holding the file's write lock until it goes.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(const std::filesystem::path& file) {
    sqlite3_open(file.c_str(), &db_);
    held_ = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~ExclusiveLock() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
  }
  bool held() const { return held_; }

 private:
  sqlite3* db_ = nullptr;
  bool held_ = false;
};

class StoreLockTest : public test::WindowWorld {
 protected:
  StoreLockTest() {
    startManagers();
    StoreService::shared().setNotifier([this](const std::string& text) { shown.push_back(text); });
  }
  AXUIElement settled(double x) { return settledWindow({.frame = CGRectMake(x, 23, 720, 877)}); }
  /// The record's fractions as committed on disk, read by another connection.
  std::string onDisk(const AXUIElement& w) {
    return store::test::querySql(store::Configuration::defaultFileURL(),
                                 "SELECT x || ' ' || width FROM AutoLayoutModel WHERE id = '" +
                                     itemOf(w)->layoutModel()->id() + "'");
  }
  /// Advances the loop by one second; fails when the step took anywhere near the time a write waiting for the
  /// lock would block it.
  void secondPasses() {
    const auto start = std::chrono::steady_clock::now();
    advance(1.0);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(took, 2.0) << "the main loop waited for the lock";
  }
  std::vector<std::string> shown;
};

TEST_F(StoreLockTest, WhileAnotherProgramHoldsTheLockNothingWaitsAndNoMoveIsLost) {
  const AXUIElement moved = settled(0);
  const AXUIElement placed = settled(720);
  const std::string movedBefore = onDisk(moved), placedBefore = onDisk(placed);
  const std::size_t historyBefore = history().size();
  log.clear();
  {
    const ExclusiveLock lock(store::Configuration::defaultFileURL());
    ASSERT_TRUE(lock.held());
    apps().userMoveWindow(moved, CGRectMake(100, 23, 720, 877));
    // A hot key: the window moves at once, its placement cannot be written yet.
    SIWindow window(placed);
    placeFrame(window, CGRectMake(0, 23, 1440, 877), GaplessOrder::positionSizePosition);
    LayoutManager::shared().saveLayout(window, CGRectMake(0, 0, 1, 1));
    drain();
    EXPECT_EQ(frameOf(placed), CGRectMake(0, 23, 1440, 877)) << "the hot key's move waits for nothing";
    for (int second = 1; second <= 30; ++second) {
      secondPasses();
      // The user keeps moving it: later moves of the same window replace the waiting one.
      if (second == 10) apps().userMoveWindow(moved, CGRectMake(360, 23, 720, 877));
      if (second == 4) {
        EXPECT_TRUE(shown.empty()) << "told before 5 s had passed";
      }
    }
    EXPECT_EQ(onDisk(moved), movedBefore);
    EXPECT_EQ(onDisk(placed), placedBefore);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Tilvane cannot save window positions for now: its database is locked");
    EXPECT_EQ(log.count("another program keeps its database"), 1u);
  }
  secondPasses();
  EXPECT_EQ(onDisk(moved), "0.25 0.5");
  EXPECT_EQ(onDisk(placed), "0.0 1.0");
  EXPECT_EQ(fractionsOf(*itemOf(moved)->layoutModel()), CGRectMake(0.25, 0, 0.5, 1));
  EXPECT_EQ(history().size(), historyBefore + 2) << "the placement's and the move's history records";
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], "Tilvane saves window positions again");
  advance(60);
  EXPECT_EQ(shown.size(), 2u);
}

TEST_F(StoreLockTest, APlacementAloneIsWrittenOnceTheLockGoes) {
  const AXUIElement placed = settled(720);
  const std::size_t historyBefore = history().size();
  {
    const ExclusiveLock lock(store::Configuration::defaultFileURL());
    ASSERT_TRUE(lock.held());
    LayoutManager::shared().saveLayout(SIWindow(placed), CGRectMake(0, 0, 1, 1));
    advance(2.0);
    EXPECT_EQ(onDisk(placed), "0.5 0.5");
  }
  advance(1.0);
  EXPECT_EQ(onDisk(placed), "0.0 1.0");
  EXPECT_TRUE(LayoutManager::shared().updateQueue().empty());
  EXPECT_EQ(history().size(), historyBefore + 1) << "the placement's history record, held back meanwhile";
}

TEST_F(StoreLockTest, AWindowAdmittedWhileTheFileIsLockedHasItsRecordStoredOnceItIsFree) {
  std::optional<AXUIElement> w;
  {
    const ExclusiveLock lock(store::Configuration::defaultFileURL());
    ASSERT_TRUE(lock.held());
    w = admitWindow({.frame = CGRectMake(0, 23, 720, 877)});
    advance(3.0);
    ASSERT_TRUE(itemOf(*w) && itemOf(*w)->layoutModel());
    EXPECT_FALSE(itemOf(*w)->layoutModel()->isManaged());
    EXPECT_TRUE(shown.empty()) << "a background write held up for less than 5 s is no news";
  }
  advance(1.0);
  EXPECT_TRUE(itemOf(*w)->layoutModel()->isManaged());
  EXPECT_EQ(onDisk(*w), "0.0 0.5");
}

// "Lay Out All Windows" right after a move that waits for the lock: the window stays, the move is written later.
TEST_F(StoreLockTest, ALayoutRightAfterAMoveStillLockedOutKeepsIt) {
  const AXUIElement moved = settled(0);
  {
    const ExclusiveLock lock(store::Configuration::defaultFileURL());
    apps().userMoveWindow(moved, CGRectMake(360, 23, 720, 877));
    advance(0.5);
    EXPECT_EQ(LayoutManager::shared().savedFrame(SIWindow(moved)), (RecordedPlace{CGRectMake(0.25, 0, 0.5, 1), 0})) << "another display's";
    LayoutManager::shared().layoutAll();
    drain();
    EXPECT_EQ(frameOf(moved), CGRectMake(360, 23, 720, 877));
  }
  advance(1.0);
  EXPECT_EQ(onDisk(moved), "0.25 0.5");
}

}  // namespace
}  // namespace tilvane
