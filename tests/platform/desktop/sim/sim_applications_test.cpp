// The simulated applications' answers stay right however their windows and processes change between reads
// (it remembers where its last lookups found something), and its observers are told apart by notification name.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {
namespace {

class SimApplicationsTest : public WorldTest {
 protected:
  SimApplicationsTest() { sim_.addDisplay({.frame = CGRectMake(0, 0, 1920, 1080)}); }

  sim::SimApplications& apps() { return sim_.applications(); }

  /// A window whose frame and title tell it apart from every other.
  sim::SimWindowConfig window(int n) {
    return {.title = "w" + std::to_string(n), .frame = CGRectMake(n, 2.0 * n, 100 + n % 50, 100)};
  }

  std::optional<std::string> titleOf(const AXUIElement& w) {
    AXValue value;
    if (apps().copyAttributeValue(w, kAXTitleAttribute, value) != AXError::success) return std::nullopt;
    return std::get<std::string>(value);
  }

 private:
  sim::SimDesktop sim_;
};

TEST_F(SimApplicationsTest, ReadsFollowWindowsClosedAddedAndApplicationsQuitBetweenThem) {
  const pid_t a = apps().addApplication({.bundleIdentifier = "a", .windows = {window(1), window(2), window(3)}});
  const pid_t b = apps().addApplication({.bundleIdentifier = "b", .windows = {window(4), window(5)}});
  const auto wa = apps().windowsOf(a);
  const auto wb = apps().windowsOf(b);

  // A walk through the windows, then one of them again after an earlier sibling closed.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(apps().frameOf(wa[i]), window(i + 1).frame);
  EXPECT_EQ(apps().frameOf(wa[1]), window(2).frame);
  ASSERT_TRUE(apps().closeWindow(wa[0]));
  EXPECT_EQ(apps().frameOf(wa[1]), window(2).frame);
  EXPECT_EQ(apps().frameOf(wa[2]), window(3).frame);
  EXPECT_FALSE(apps().frameOf(wa[0]));
  EXPECT_EQ(titleOf(wa[0]), std::nullopt);

  // Windows added (the list may move in memory) and a window of another application in between.
  EXPECT_EQ(apps().frameOf(wb[1]), window(5).frame);
  std::vector<AXUIElement> added;
  for (int i = 0; i < 40; ++i) added.push_back(apps().addWindow(b, window(100 + i)));
  EXPECT_EQ(apps().frameOf(wb[1]), window(5).frame);
  EXPECT_EQ(titleOf(added[39]), "w139");
  EXPECT_EQ(apps().frameOf(wa[2]), window(3).frame);

  // The first application quits: the other's reads still land on its own windows; a new one is found.
  EXPECT_EQ(apps().runningApplication(a)->bundleIdentifier, "a");
  ASSERT_TRUE(apps().quitApplication(a));
  EXPECT_FALSE(apps().runningApplication(a));
  EXPECT_FALSE(apps().frameOf(wa[2]));
  EXPECT_EQ(apps().runningApplication(b)->bundleIdentifier, "b");
  EXPECT_EQ(apps().frameOf(wb[0]), window(4).frame);
  const pid_t c = apps().launchApplication({.bundleIdentifier = "c", .windows = {window(6)}});
  EXPECT_EQ(apps().runningApplication(c)->bundleIdentifier, "c");
  EXPECT_EQ(titleOf(apps().windowsOf(c)[0]), "w6");
  EXPECT_FALSE(apps().runningApplication(a));
  EXPECT_EQ(titleOf(added[0]), "w100");

  // A window read just before it goes, or before its list grows, is read afresh.
  EXPECT_EQ(titleOf(added[39]), "w139");
  ASSERT_TRUE(apps().closeWindow(added[39]));
  EXPECT_FALSE(apps().frameOf(added[39]));
  EXPECT_EQ(apps().frameOf(added[38]), window(138).frame);
  for (int i = 0; i < 40; ++i) apps().addWindow(b, window(200 + i));
  ASSERT_TRUE(apps().setWindowPosition(added[38], {7, 8}));
  EXPECT_EQ(apps().frameOf(wb[0]), window(4).frame);
  EXPECT_EQ(apps().frameOf(added[38])->origin, (CGPoint{7, 8}));
  const AXUIElement wc = apps().windowsOf(c)[0];
  EXPECT_EQ(titleOf(wc), "w6");
  ASSERT_TRUE(apps().quitApplication(c));
  EXPECT_FALSE(titleOf(wc));

  // Elements that name no window of the process never match one.
  EXPECT_FALSE(apps().frameOf(AXUIElement{AXUIElement::Role::window, c, wb[0].id}));
  EXPECT_FALSE(apps().frameOf(AXUIElement{AXUIElement::Role::other, b, wb[0].id}));
}

// Random set-up changes, user actions and reads against a plain record of what should be.
TEST_F(SimApplicationsTest, RandomChangesAndReadsAgreeWithARecord) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };

  struct Known {
    AXUIElement element;
    CGRect frame;
    std::string title;
  };
  struct App {
    pid_t pid;
    std::string bundle;
    std::vector<Known> windows;
  };
  std::vector<App> running;
  std::vector<AXUIElement> gone;
  std::vector<pid_t> quit;
  int made = 0;
  const auto launch = [&] {
    sim::SimApplicationConfig config{.bundleIdentifier = "app" + std::to_string(made)};
    for (std::size_t i = below(4); i > 0; --i) config.windows.push_back(window(++made));
    App app{apps().addApplication(config), *config.bundleIdentifier, {}};
    const auto elements = apps().windowsOf(app.pid);
    for (std::size_t i = 0; i < elements.size(); ++i)
      app.windows.push_back({elements[i], config.windows[i].frame, *config.windows[i].title});
    running.push_back(std::move(app));
  };
  for (int i = 0; i < 5; ++i) launch();

  std::size_t app = 0;
  std::size_t cursor = 0;  // reads go mostly to the same window or the next, as the program's do
  for (int step = 0; step < 4000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const std::size_t action = below(100);
    if (running.empty() || action < 3) {
      launch();
    } else if (action < 5) {
      const std::size_t i = below(running.size());
      for (const Known& w : running[i].windows) gone.push_back(w.element);
      quit.push_back(running[i].pid);
      ASSERT_TRUE(apps().quitApplication(running[i].pid));
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (action < 10) {
      App& a = running[below(running.size())];
      const sim::SimWindowConfig config = window(++made);
      a.windows.push_back({apps().addWindow(a.pid, config), config.frame, *config.title});
    } else if (action < 14) {
      App& a = running[below(running.size())];
      if (a.windows.empty()) continue;
      const std::size_t i = below(a.windows.size());
      ASSERT_TRUE(apps().closeWindow(a.windows[i].element));
      gone.push_back(a.windows[i].element);
      a.windows.erase(a.windows.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (action < 16 && !gone.empty()) {
      const AXUIElement& w = gone[below(gone.size())];
      EXPECT_FALSE(apps().frameOf(w));
      EXPECT_FALSE(titleOf(w));
      EXPECT_FALSE(apps().setWindowPosition(w, {1, 1}));
      EXPECT_FALSE(apps().runningApplication(quit.empty() ? 0 : quit[below(quit.size())]));
    } else {
      if (below(4) == 0) app = below(running.size());
      if (app >= running.size()) app = 0;
      App& a = running[app];
      EXPECT_EQ(apps().runningApplication(a.pid)->bundleIdentifier, a.bundle);
      if (a.windows.empty()) continue;
      const std::size_t move = below(10);
      cursor = move < 5 ? cursor : move < 9 ? cursor + 1 : below(a.windows.size());
      if (cursor >= a.windows.size()) cursor = 0;
      Known& w = a.windows[cursor];
      EXPECT_EQ(apps().frameOf(w.element), w.frame);
      EXPECT_EQ(titleOf(w.element), w.title);
      if (below(8) == 0) {
        w.frame.origin = CGPoint{static_cast<double>(step), 7};
        EXPECT_TRUE(apps().setWindowPosition(w.element, w.frame.origin));
      }
    }
  }
}

TEST_F(SimApplicationsTest, ObserversAreToldApartByNameElementAndProcess) {
  const pid_t a = apps().addApplication({.windows = {window(1), window(2)}});
  const pid_t b = apps().addApplication({.windows = {window(3)}});
  const AXUIElement appA = AXUIElementCreateApplication(a);
  const AXUIElement appB = AXUIElementCreateApplication(b);
  const auto wa = apps().windowsOf(a);
  std::vector<std::string> seen;
  const auto record = [&seen](std::string what) {
    return [&seen, what](const AXUIElement& e) {
      seen.push_back(what + ":" + (e.isWindow() ? std::to_string(e.id - 0x400000) : "app"));
    };
  };

  ASSERT_TRUE(apps().addObserver(appA, kAXWindowMovedNotification, appA, record("first")));
  ASSERT_TRUE(apps().addObserver(appA, kAXWindowMovedNotification, appA, record("moved")));  // replaces
  ASSERT_TRUE(apps().addObserver(appB, kAXWindowMovedNotification, appB, record("movedB")));
  ASSERT_TRUE(apps().addObserver(appA, kAXUIElementDestroyedNotification, wa[1], record("destroyed")));
  EXPECT_FALSE(apps().isObserved(a, "AXNeverNamed", appA));
  EXPECT_FALSE(apps().removeObserver(appA, "AXNeverNamed", appA));

  apps().userMoveWindow(wa[0], CGRectMake(5, 5, 150, 100));  // moved and resized; resizes are not observed
  apps().closeWindow(wa[0]);                                 // another window's destruction is not observed
  apps().closeWindow(wa[1]);
  // A name first met when raised, observed before the main loop delivers it.
  apps().notify(a, "com.example.Custom", appA, appA);
  ASSERT_TRUE(apps().addObserver(appA, "com.example.Custom", appA, record("custom")));
  drain();
  EXPECT_EQ(seen, (std::vector<std::string>{"moved:1", "destroyed:2", "custom:app"}));

  EXPECT_TRUE(apps().removeObserver(appA, "com.example.Custom", appA));
  EXPECT_FALSE(apps().removeObserver(appA, "com.example.Custom", appA));
  // A process that ends takes its observers, and only its own.
  ASSERT_TRUE(apps().quitApplication(a));
  EXPECT_FALSE(apps().isObserved(a, std::string(kAXWindowMovedNotification), appA));
  EXPECT_TRUE(apps().isObserved(b, std::string(kAXWindowMovedNotification), appB));
}

}  // namespace
}  // namespace tilvane::test
