// Windows of one program, each moved by the user to a place of its own, stay there across restarts, "Lay Out
// All Windows" and automatic layout switched off and on: each keeps a remembered placement of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "AppManager/Settings/UserDefaultsService.h"
#include "TilvaneOnX11.h"

namespace tilvane::test::x11 {
namespace {

class OwnRecordsTest : public TilvaneOnX11Test {
 protected:
  /// A client of `klass` with `count` windows, managed and placed; `close` of them are closed then.
  TestClient& client(const std::string& klass, int count, std::vector<std::size_t> close = {}) {
    auto& c = launchClient({"--class", "own," + klass, "--title", klass, "--windows", std::to_string(count)});
    EXPECT_TRUE(waitUntil([&] { return tracked(c.pid()); }));
    advance(1.0);
    EXPECT_TRUE(waitUntil([&] { return managed(c.windows().back()); }));
    laidOut();
    for (const std::size_t i : close) probe().destroy(c.window(i));
    for (const std::size_t i : close) EXPECT_TRUE(waitUntil([&] { return !managed(c.window(i)); }));
    for (std::size_t i = 0; i < c.windows().size(); ++i)
      if (std::find(close.begin(), close.end(), i) == close.end()) open_.push_back(c.window(i));
    return c;
  }
  /// The user drags each open window to a place of its own; they are written.
  void dragApart() {
    for (std::size_t i = 0; i < open_.size(); ++i) {
      const int x = 40 + 110 * static_cast<int>(i % 12), y = 30 + 120 * static_cast<int>(i / 12) + 7 * (i % 5);
      EXPECT_EQ(runCommand({"xdotool", "windowmove", std::to_string(open_[i]), std::to_string(x), std::to_string(y)}),
                0);
      EXPECT_TRUE(waitUntil([&] { return probe().frameRect(open_[i])->x == x; }));
      placed_.push_back(*probe().frameRect(open_[i]));
    }
    catchUp();
    advance(5.0);
  }
  void restart() {
    restartTilvane();
    advance(1.0);
    EXPECT_TRUE(waitUntil([&] { return managed(open_.back()); }));
    laidOut();
  }
  /// Every open window where the user left it, each with a record of its own.
  void expectPlaced() {
    std::set<std::string> ids;
    for (std::size_t i = 0; i < open_.size(); ++i)
      EXPECT_TRUE(frameBecomes(open_[i], placed_[i])) << *probe().frameRect(open_[i]) << ", not " << placed_[i];
    for (const auto& item : LayoutManager::shared().layoutItems()) ids.insert(item->layoutModel()->id());
    EXPECT_EQ(ids.size(), open_.size()) << "each window holds a record of its own";
  }
  std::vector<std::uint32_t> open_;
  std::vector<XRectangle> placed_;
};

TEST_F(OwnRecordsTest, SixteenWindowsOfFourProgramsStayWhereTheUserLeftThem) {
  startTilvane();
  for (const std::string klass : {"TilvaneOwnA", "TilvaneOwnB", "TilvaneOwnC", "TilvaneOwnD"}) {
    // An earlier run of the program left records of windows now gone; now it runs twice, and the user closed a
    // window of the first run in between.
    client(klass, 4, {0, 1, 2, 3});
    client(klass, 3, {0});
    client(klass, 2);
  }
  dragApart();
  restart();
  expectPlaced();
  LayoutManager::shared().layoutAll();
  laidOut();
  expectPlaced();
  UserDefaultsService::setAutoLayoutEnabled(0);
  UserDefaultsService::setAutoLayoutEnabled(1);
  laidOut();
  expectPlaced();
}

TEST_F(OwnRecordsTest, WindowsOpenedAndClosedInTurnStayWhereTheUserLeftThem) {
  startTilvane();
  client("TilvaneOwnTurns", 6, {0, 2, 4});
  client("TilvaneOwnTurns", 3);
  dragApart();
  restart();
  expectPlaced();
}

}  // namespace
}  // namespace tilvane::test::x11
