// Windows of one program, each moved by the user to a place of its own, stay there across restarts, "Lay Out
// All Windows" and automatic layout switched off and on: each keeps a remembered placement of its own.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "AppManager/Settings/UserDefaultsService.h"
#include "TilvaneOnX11.h"

namespace tilvane::test::x11 {
namespace {

class OwnRecordsTest : public TilvaneOnX11Test {
 protected:
  /// Launches a client of `klass` with `count` windows and waits until Tilvane manages them and placed them.
  TestClient& managedClient(const std::string& klass, int count) {
    auto& client = launchClient({"--class", "own," + klass, "--title", klass, "--windows", std::to_string(count)});
    EXPECT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
    advance(1.0);
    for (const std::uint32_t w : client.windows()) EXPECT_TRUE(waitUntil([&] { return managed(w); }));
    advance(3.0);
    return client;
  }
  /// The user drags each window to a place of its own; where each then stands, once written.
  std::map<std::uint32_t, XRectangle> dragApart(const std::vector<std::uint32_t>& windows) {
    std::map<std::uint32_t, XRectangle> placed;
    for (std::size_t i = 0; i < windows.size(); ++i) {
      const int x = 40 + 110 * static_cast<int>(i % 12), y = 30 + 120 * static_cast<int>(i / 12) + 7 * (i % 5);
      EXPECT_EQ(runCommand({"xdotool", "windowmove", std::to_string(windows[i]), std::to_string(x),
                            std::to_string(y)}),
                0);
      EXPECT_TRUE(waitUntil([&] { return probe().frameRect(windows[i])->x == x; }));
    }
    catchUp();
    advance(5.0);
    for (const std::uint32_t w : windows) placed[w] = *probe().frameRect(w);
    return placed;
  }
  /// Every window back where the user left it, and no two records alike.
  void expectPlaced(const std::map<std::uint32_t, XRectangle>& placed) {
    std::set<std::string> ids;
    for (const auto& [w, frame] : placed) {
      EXPECT_TRUE(frameBecomes(w, frame)) << w << " at " << *probe().frameRect(w) << ", not " << frame;
      for (const auto& item : LayoutManager::shared().layoutItems())
        if (item->window().windowID() == w && item->layoutModel()) ids.insert(item->layoutModel()->id());
    }
    EXPECT_EQ(ids.size(), placed.size()) << "each window holds a record of its own";
  }
  /// Waits until the layouts queued have moved their windows, and the window manager's answers are seen.
  void laidOut() {
    advance(0.1);
    EXPECT_TRUE(waitUntil([] {
      for (const auto& item : LayoutManager::shared().layoutItems())
        if (item->isLayouting()) return false;
      return true;
    }));
    catchUp();
  }
  void restartAndAdmit(const std::vector<TestClient*>& clients) {
    restartTilvane();
    for (TestClient* client : clients) ASSERT_TRUE(waitUntil([&] { return tracked(client->pid()); }));
    advance(1.0);
    laidOut();
  }
};

TEST_F(OwnRecordsTest, SixteenWindowsOfFourProgramsStayWhereTheUserLeftThem) {
  startTilvane();
  std::vector<TestClient*> clients;
  std::vector<std::uint32_t> windows;
  for (const std::string klass : {"TilvaneOwnA", "TilvaneOwnB", "TilvaneOwnC", "TilvaneOwnD"}) {
    // An earlier run of the program left records of windows now gone.
    auto& earlier = managedClient(klass, 4);
    earlier.quit();
    ASSERT_TRUE(waitUntil([&] { return !managed(earlier.window(0)); }));
    // Now it runs twice, and the user closed a window of the first run in between.
    auto& first = managedClient(klass, 3);
    probe().destroy(first.window(0));
    ASSERT_TRUE(waitUntil([&] { return !managed(first.window(0)); }));
    auto& second = managedClient(klass, 2);
    clients.insert(clients.end(), {&first, &second});
    windows.insert(windows.end(), {first.window(1), first.window(2), second.window(0), second.window(1)});
  }
  const auto placed = dragApart(windows);

  restartAndAdmit(clients);
  {
    SCOPED_TRACE("restart");
    expectPlaced(placed);
  }
  {
    SCOPED_TRACE("lay out all");
    LayoutManager::shared().layoutAll();
    laidOut();
    expectPlaced(placed);
  }
  SCOPED_TRACE("automatic layout off and on");
  UserDefaultsService::setAutoLayoutEnabled(0);
  UserDefaultsService::setAutoLayoutEnabled(1);
  laidOut();
  expectPlaced(placed);
}

TEST_F(OwnRecordsTest, WindowsOpenedAndClosedInTurnStayWhereTheUserLeftThem) {
  startTilvane();
  auto& first = managedClient("TilvaneOwnTurns", 6);
  for (const std::size_t i : {0, 2, 4}) {
    probe().destroy(first.window(i));
    ASSERT_TRUE(waitUntil([&] { return !managed(first.window(i)); }));
  }
  auto& more = managedClient("TilvaneOwnTurns", 3);
  std::vector<std::uint32_t> windows{first.window(1), first.window(3), first.window(5)};
  windows.insert(windows.end(), more.windows().begin(), more.windows().end());
  const auto placed = dragApart(windows);
  restartAndAdmit({&first, &more});
  expectPlaced(placed);
}

}  // namespace
}  // namespace tilvane::test::x11
