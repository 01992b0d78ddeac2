#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/store/Database.h"
#include "support/windows/StoredRecord.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {

/// Tilvane's managers of displays, applications and windows running on the X11 backend and the test desktop,
/// with the database under the test's temporary folder. Time is the virtual loop's: the program's own delays
/// (1.0 s admission, 2.0 s quiet period, restore pauses) pass only when the test advances it.
class TilvaneOnX11Test : public X11BackendTest {
 protected:
  void SetUp() override {
    X11BackendTest::SetUp();
    if (HasFatalFailure()) return;
    StoreService::shared().configureRealm();
  }

  void TearDown() override {
    stopTilvane();
    X11BackendTest::TearDown();
  }

  /// The start-up of the window side, in the application's order.
  void startTilvane() {
    setupWindowManagers();
    started_ = true;
  }

  /// Quits as the program does: what is waiting is written, the managers go, then the desktop connection.
  void stopTilvane() {
    if (!started_) return;
    LayoutManager::shared().flushPendingUpdates();
    SharedInstances::resetAll();
    started_ = false;
  }

  /// A new run of the program on the same desktop and database.
  void restartTilvane(const std::function<void()>& whileStopped = {}) {
    stopTilvane();
    disconnect();
    if (whileStopped) whileStopped();
    ASSERT_TRUE(reconnect());
    StoreService::shared().configureRealm();
    startTilvane();
  }

  /// Whether the application manager tracks the process (its launch has been seen).
  bool tracked(pid_t pid) { return ApplicationManager::shared().findApplication(pid).has_value(); }
  bool managed(std::uint32_t window) {
    for (const SIWindow& w : WindowManager::shared().windows())
      if (w.windowID() == window) return true;
    return false;
  }

  /// Stores a remembered placement of window `index` of `bundle` at `fractions` of the visible frame of display
  /// `screenIndex` among `screenCount`.
  void storeRecord(const std::string& bundle, std::int64_t index, const CGRect& fractions,
                   std::int64_t screenCount = 1, std::int64_t screenIndex = 0) {
    storeAutoLayoutRecord({.bundle = bundle,
                           .windowIndex = index,
                           .fractions = fractions,
                           .screenCount = screenCount,
                           .screenIndex = screenIndex});
  }

  /// Starts an xterm (its size steps by character cells) with WM_CLASS ("tilvaneterm", `klass`) and `title`;
  /// its window once the window manager shows it.
  std::optional<std::uint32_t> startTerminal(const std::string& klass, const std::string& title) {
    spawn({"xterm", "-name", "tilvaneterm", "-class", klass, "-T", title, "-geometry", "80x24+100+100"});
    std::optional<std::uint32_t> window;
    waitUntil([&] {
      for (const std::uint32_t w : probe().clientList())
        if (probe().text(w, "WM_NAME") == title) window = w;
      return window.has_value();
    });
    return window;
  }

  /// A fixed custom layout: the `cells` (grid value) of a `width` x `height` grid, on Control+Option+`keyCode`.
  static CustomLayoutModelPtr fixedLayout(const std::string& name, std::int64_t width, std::int64_t height,
                                          std::int64_t cells, std::int64_t keyCode) {
    auto layout = std::make_shared<CustomLayoutModel>();
    layout->setId(name);
    layout->setName(name);
    layout->setType(1);  // fixed
    layout->setWidth(width);
    layout->setHeight(height);
    layout->setMatrixValue(cells);
    layout->setKeyCode(keyCode);
    layout->setModifierFlags(kCGEventFlagMaskControl | kCGEventFlagMaskAlternate);
    return layout;
  }

  /// Stores a fixed rule for `bundle` on the right half of the display.
  static void storeRightHalfRule(const std::string& bundle) {
    auto rule = std::make_shared<RuleLayoutModel>();
    rule->setId(bundle);
    rule->setType(static_cast<std::int64_t>(RuleLayoutType::fix));
    rule->setWidth(2);  // a 2 x 1 grid with its right cell selected: the right half
    rule->setHeight(1);
    rule->setMatrixValue(1);
    const auto database = store::Database::open();
    database->write([&] { database->add(rule); });
  }

  /// Waits until the layouts queued have moved their windows and the window manager's answers are seen.
  void laidOut() {
    advance(0.1);
    const auto& items = LayoutManager::shared().layoutItems();
    EXPECT_TRUE(waitUntil([&] {
      return std::none_of(items.begin(), items.end(), [](const auto& item) { return item->isLayouting(); });
    }));
    catchUp();
  }

  /// Windows and the visible frames they are to keep.
  using Standing = std::vector<std::pair<std::uint32_t, XRectangle>>;

  /// With gaps on or off and Tilvane running: windows the user moved or sized (two terminals, whose sizes step by
  /// character cells, one against the screen's left edge; a window against its top, right and bottom edges), each
  /// where the user left it, and one where its rule put it, the right half less the gaps. Their records are
  /// written.
  Standing arrangeByHand(bool gaps) {
    defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), gaps);
    storeRightHalfRule("TilvaneRuled");
    const std::uint32_t windows[] = {startTerminal("TilvaneMoved", "Moved").value_or(0),
                                     startTerminal("TilvaneSized", "Sized").value_or(0),
                                     launchClient({"--class", "edges,TilvaneEdges", "--title", "Edges"}).window(),
                                     launchClient({"--class", "ruled,TilvaneRuled", "--title", "Ruled"}).window()};
    const auto [moved, sized, edges, ruled] = windows;
    startTilvane();
    advance(1.0);
    for (const std::uint32_t w : windows) EXPECT_TRUE(waitUntil([&] { return managed(w); }));
    laidOut();
    advance(3.0);
    EXPECT_EQ(runCommand({"xdotool", "windowmove", std::to_string(moved), "408", "232"}), 0);
    EXPECT_EQ(runCommand({"xdotool", "windowsize", std::to_string(sized), "700", "400"}), 0);
    EXPECT_EQ(runCommand({"xdotool", "windowmove", std::to_string(sized), "0", "300"}), 0);
    const auto [left, right, top, bottom] = probe().extents(edges, "_NET_FRAME_EXTENTS");
    probe().moveResize(edges, {1920 - 600 - left - right, 0, 600, 1056 - top - bottom});
    EXPECT_TRUE(waitUntil([&] {
      const auto e = probe().frameRect(edges);
      return probe().frameRect(moved)->x == 408 && probe().frameRect(sized)->x == 0 && e->y == 0 &&
             e->height == 1056 && e->x + e->width == 1920;
    })) << *probe().frameRect(edges);
    catchUp();
    advance(LayoutManager::kQuietPeriod + 0.1);
    Standing standing;
    for (const std::uint32_t w : {moved, sized, edges}) standing.emplace_back(w, *probe().frameRect(w));
    standing.emplace_back(ruled, gaps ? XRectangle{968, 8, 944, 1040} : XRectangle{960, 0, 960, 1056});
    return standing;
  }

  /// Each window stands on its frame: where it is within 2 pixels, its size the same.
  void expectStanding(const Standing& windows) {
    for (const auto& [window, frame] : windows) {
      EXPECT_TRUE(waitUntil([&] {
        const auto f = probe().frameRect(window);
        return f && std::abs(f->x - frame.x) <= 2 && std::abs(f->y - frame.y) <= 2 && f->width == frame.width &&
               f->height == frame.height;
      })) << probe().text(window, "WM_NAME") << ": " << *probe().frameRect(window) << ", not " << frame;
    }
  }

  std::vector<AutoLayoutModelPtr> records(const std::string& bundle) {
    std::vector<AutoLayoutModelPtr> out;
    for (auto& r : store::Database::open()->objects<AutoLayoutModel>())
      if (r->bundleIdentifier() == bundle) out.push_back(r);
    return out;
  }

 private:
  bool started_ = false;
};

}  // namespace tilvane::test::x11
