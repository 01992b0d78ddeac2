// The simulated applications' own behaviour; what every backend shares is in the desktop contract.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/desktop/CGWindowList.h"
#include "platform/desktop/SIWindow.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::sim {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One 1440 x 900 display with three shared desktops.
class SimApplicationsTest : public test::WorldTest {
 protected:
  SimApplicationsTest() : sim_(SpacesMode::shared, 3), scope_(sim_) {
    sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
  }
  SimApplications& apps() { return sim_.applications(); }
  SIWindow firstWindow(const SimApplicationConfig& config) {
    return SIWindow(apps().windowsOf(apps().addApplication(config)).front());
  }

  SimDesktop sim_;
  Desktop::Scope scope_;
};

TEST_F(SimApplicationsTest, SettersNeverPassNonFiniteValuesOrEmptySizes) {
  SIWindow window = firstWindow({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  const CGRect before = window.frame();
  EXPECT_FALSE(window.setPosition({kNaN, 10}));
  EXPECT_FALSE(window.setPosition({10, kInf}));
  EXPECT_FALSE(window.setSize({0, 100}));
  EXPECT_FALSE(window.setSize({100, -16}));
  EXPECT_FALSE(window.setSize({kNaN, 100}));
  EXPECT_FALSE(window.setFrame(CGRectMake(0, 0, 0, 0)));
  EXPECT_FALSE(window.setFrame(CGRectMake(-kInf, 0, 10, 10)));
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_EQ(window.frame(), before);

  EXPECT_TRUE(window.setFrame(CGRectMake(0, 23, 720, 877)));
  EXPECT_EQ(apps().requests().size(), 2u);
  EXPECT_EQ(window.frame(), CGRectMake(0, 23, 720, 877));
  SIWindow fixed = firstWindow({.windows = {{.movable = false}}});
  EXPECT_FALSE(fixed.isMovable());
  EXPECT_FALSE(fixed.setPosition({0, 0}));
}

TEST_F(SimApplicationsTest, ProgramMovesAreToldLaterAndOnlyForWhatChanged) {
  SIWindow window = firstWindow({.bundleIdentifier = "org.example.Editor",
                                 .windows = {{.frame = CGRectMake(10, 30, 400, 300), .minimumSize = {200, 150}}}});
  std::vector<std::string> log;
  const SIApplication app(window.processIdentifier());
  for (auto name : {kAXWindowMovedNotification, kAXWindowResizedNotification})
    app.observeNotification(name, app.axElement(), [&log, name](const AXUIElement&) { log.emplace_back(name); });

  EXPECT_TRUE(window.setPosition({10, 30}));  // where it is already: nothing to tell
  EXPECT_TRUE(window.setSize({100, 100}));    // the application keeps its minimum
  EXPECT_EQ(window.frame(), CGRectMake(10, 30, 200, 150));
  EXPECT_TRUE(log.empty()) << "notifications arrive on a later turn of the main loop";
  drain();
  EXPECT_EQ(log, std::vector<std::string>{"AXWindowResized"});

  // A notification already on its way is not delivered once its observer is gone; a process that ends takes
  // its observers along.
  apps().userMoveWindow(window.axElement(), CGRectMake(0, 0, 200, 150));
  EXPECT_TRUE(app.unobserveNotification(kAXWindowMovedNotification, app.axElement()));
  EXPECT_FALSE(app.unobserveNotification(kAXWindowMovedNotification, app.axElement()));
  drain();
  EXPECT_EQ(log.size(), 1u);
  ASSERT_TRUE(apps().quitApplication(window.processIdentifier()));
  EXPECT_EQ(apps().observerCount(), 0u);
  EXPECT_FALSE(app.observeNotification(kAXWindowCreatedNotification, app.axElement(), [](const AXUIElement&) {}));
}

TEST_F(SimApplicationsTest, ApplicationsReportWindowsOfTheShownDesktopAndVisibleOnesUnminimised) {
  const auto spaces = sim_.spaceUuids();
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Editor",
                                           .windows = {{.title = "here"},
                                                       {.title = "small", .minimized = true},
                                                       {.title = "away", .spaceUuid = spaces[1]}}});
  const SIApplication app(pid);
  EXPECT_EQ(app.windows().size(), 2u);
  ASSERT_EQ(app.visibleWindows().size(), 1u);
  EXPECT_EQ(app.visibleWindows()[0].title(), "here");
  const auto onScreen = CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID);
  ASSERT_TRUE(onScreen && onScreen->size() == 1u);
  EXPECT_EQ((*onScreen)[0].ownerPID, pid);
  EXPECT_EQ(CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID)->size(), 3u);

  ASSERT_TRUE(sim_.switchToSpace(spaces[1]));
  ASSERT_EQ(app.visibleWindows().size(), 1u);
  EXPECT_EQ(app.visibleWindows()[0].title(), "away");
  SIWindow here(apps().windowsOf(pid)[0]);
  EXPECT_TRUE(here.moveToSpace(2));
  EXPECT_EQ(app.visibleWindows().size(), 2u);
  EXPECT_FALSE(here.moveToSpace(4));
}

TEST_F(SimApplicationsTest, ScreenIsTheDisplayHoldingMostOfTheWindowInWindowSpace) {
  // A second display below the primary one: in window space it starts at y = 900.
  sim_.addDisplay({.frame = CGRectMake(0, -768, 1024, 768)});
  const pid_t pid = apps().addApplication({.windows = {{.frame = CGRectMake(0, 850, 400, 300)},
                                                       {.frame = CGRectMake(100, 100, 400, 300)},
                                                       {.frame = CGRectMake(3000, 3000, 400, 300)}}});
  const auto windows = apps().windowsOf(pid);
  EXPECT_EQ(SIWindow(windows[0]).screen()->frame, CGRectMake(0, -768, 1024, 768));
  EXPECT_EQ(SIWindow(windows[1]).screen()->frame, CGRectMake(0, 0, 1440, 900));
  EXPECT_FALSE(SIWindow(windows[2]).screen());
}

TEST_F(SimApplicationsTest, WrappersCompareByElementAndFindTheirBundle) {
  const pid_t pid = apps().addApplication(
      {.bundleIdentifier = "org.example.Editor", .windows = {{.title = "Notes", .subrole = std::nullopt}}});
  const pid_t anonymous = apps().addApplication({.windows = {{}}});
  const SIWindow a(apps().windowsOf(pid).front());
  SIWindow b(apps().windowsOf(pid).front());
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.app(), SIApplication(pid));
  EXPECT_EQ(bundleIdentifierOfWindow(a), "org.example.Editor");
  EXPECT_FALSE(bundleIdentifierOfWindow(SIWindow(apps().windowsOf(anonymous).front())));
  EXPECT_FALSE(a.stringForKey(kAXSubroleAttribute));
  EXPECT_FALSE(SIWindow::fromElement(AXUIElementCreateApplication(pid)));
  EXPECT_FALSE(SIWindow::focusedWindow());
  EXPECT_TRUE(b.focusWindow());
  EXPECT_EQ(SIWindow::focusedWindow(), a);
}

}  // namespace
}  // namespace tilvane::sim
