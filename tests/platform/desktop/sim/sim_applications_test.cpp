#include <gtest/gtest.h>

#include <cmath>
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

// One 1440 × 900 display with three shared desktops, and a record of every window notification.
class SimApplicationsTest : public test::WorldTest {
 protected:
  SimApplicationsTest() : sim_(SpacesMode::shared, 3), scope_(sim_) {
    sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
  }
  SimApplications& apps() { return sim_.applications(); }

  // Records every notification of `pid` that the application manager would observe.
  void observe(pid_t pid) {
    const SIApplication app(pid);
    for (auto name : {kAXWindowCreatedNotification, kAXWindowMovedNotification, kAXWindowResizedNotification,
                      kAXWindowDeminiaturizedNotification}) {
      app.observeNotification(name, app.axElement(), [this, name](const AXUIElement& e) {
        log_.push_back(std::string(name) + " " + std::to_string(e.id));
      });
    }
  }

  SimDesktop sim_;
  Desktop::Scope scope_;
  std::vector<std::string> log_;
};

TEST_F(SimApplicationsTest, SettersNeverPassNonFiniteValuesOrEmptySizes) {
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  SIWindow window(apps().windowsOf(pid).front());
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
}

TEST_F(SimApplicationsTest, ProgramMovesAreReportedLaterAndOnlyForWhatChanged) {
  const pid_t pid = apps().addApplication(
      {.bundleIdentifier = "org.example.Editor",
       .windows = {{.frame = CGRectMake(10, 30, 400, 300), .minimumSize = {200, 150}}}});
  observe(pid);
  SIWindow window(apps().windowsOf(pid).front());
  const auto id = std::to_string(window.windowID());

  EXPECT_TRUE(window.setPosition({10, 30}));  // where it is already: nothing to report
  EXPECT_TRUE(window.setSize({100, 100}));    // the application keeps its minimum
  EXPECT_EQ(window.frame(), CGRectMake(10, 30, 200, 150));
  EXPECT_TRUE(log_.empty()) << "notifications arrive on a later turn of the main loop";
  drain();
  EXPECT_EQ(log_, (std::vector<std::string>{"AXWindowResized " + id}));

  log_.clear();
  apps().userMoveWindow(window.axElement(), CGRectMake(50, 60, 500, 400));
  drain();
  EXPECT_EQ(log_, (std::vector<std::string>{"AXWindowMoved " + id, "AXWindowResized " + id}));
}

TEST_F(SimApplicationsTest, AnImmovableOrClosedWindowRefusesChanges) {
  const pid_t pid = apps().addApplication(
      {.bundleIdentifier = "org.example.Editor", .windows = {{.movable = false}, {}}});
  SIWindow fixed(apps().windowsOf(pid)[0]);
  SIWindow other(apps().windowsOf(pid)[1]);
  EXPECT_FALSE(fixed.isMovable());
  EXPECT_FALSE(fixed.setPosition({0, 0}));

  ASSERT_TRUE(apps().closeWindow(other.axElement()));
  EXPECT_FALSE(other.setPosition({0, 0}));
  EXPECT_EQ(other.frame(), CGRect{});
  EXPECT_FALSE(other.screen());
  EXPECT_FALSE(other.title());
}

TEST_F(SimApplicationsTest, WindowsReadHasThreeOutcomes) {
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}, {}}});
  const AXUIElement app = AXUIElementCreateApplication(pid);
  AXValue value;

  ASSERT_EQ(AXUIElementCopyAttributeValue(app, kAXWindowsAttribute, value), AXError::success);
  ASSERT_TRUE(std::holds_alternative<std::vector<AXUIElement>>(value));
  EXPECT_EQ(std::get<std::vector<AXUIElement>>(value).size(), 2u);

  apps().setWindowsRead(pid, SimWindowsRead::fails);
  EXPECT_NE(AXUIElementCopyAttributeValue(app, kAXWindowsAttribute, value), AXError::success);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(value));

  apps().setWindowsRead(pid, SimWindowsRead::nothing);
  EXPECT_EQ(AXUIElementCopyAttributeValue(app, kAXWindowsAttribute, value), AXError::success);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(value));

  apps().setWindowsRead(pid, SimWindowsRead::otherKind);
  EXPECT_EQ(AXUIElementCopyAttributeValue(app, kAXWindowsAttribute, value), AXError::success);
  EXPECT_TRUE(std::holds_alternative<AXOtherValue>(value));
  EXPECT_TRUE(SIApplication(pid).windows().empty());

  EXPECT_NE(AXUIElementCopyAttributeValue(AXUIElementCreateApplication(4242), kAXWindowsAttribute, value),
            AXError::success);
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
  ASSERT_TRUE(onScreen);
  ASSERT_EQ(onScreen->size(), 1u);
  EXPECT_EQ((*onScreen)[0].ownerPID, pid);
  EXPECT_EQ(CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID)->size(), 3u);
  EXPECT_FALSE(CGWindowListCopyWindowInfo(kCGWindowListOptionAll, 7));

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
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Editor",
                                           .windows = {{.frame = CGRectMake(0, 850, 400, 300)},
                                                       {.frame = CGRectMake(100, 100, 400, 300)},
                                                       {.frame = CGRectMake(3000, 3000, 400, 300)}}});
  const auto windows = apps().windowsOf(pid);
  const auto lower = SIWindow(windows[0]).screen();
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->frame, CGRectMake(0, -768, 1024, 768));
  EXPECT_EQ(SIWindow(windows[1]).screen()->frame, CGRectMake(0, 0, 1440, 900));
  EXPECT_FALSE(SIWindow(windows[2]).screen());
}

TEST_F(SimApplicationsTest, ObserversEndWithUnobservingAndWithTheProcess) {
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  observe(pid);
  SIWindow window(apps().windowsOf(pid).front());
  int destroyed = 0;
  const SIApplication app(pid);
  ASSERT_TRUE(app.observeNotification(kAXUIElementDestroyedNotification, window.axElement(),
                                      [&](const AXUIElement& e) { destroyed += e == window.axElement(); }));

  // A notification already on its way is not delivered once its observer is gone.
  apps().userMoveWindow(window.axElement(), CGRectMake(0, 0, 10, 10));
  EXPECT_TRUE(app.unobserveNotification(kAXWindowMovedNotification, app.axElement()));
  EXPECT_FALSE(app.unobserveNotification(kAXWindowMovedNotification, app.axElement()));
  drain();
  EXPECT_EQ(log_, (std::vector<std::string>{"AXWindowResized " + std::to_string(window.windowID())}));

  ASSERT_TRUE(apps().closeWindow(window.axElement()));
  drain();
  EXPECT_EQ(destroyed, 1);

  EXPECT_GT(apps().observerCount(), 0u);
  ASSERT_TRUE(apps().quitApplication(pid));
  EXPECT_EQ(apps().observerCount(), 0u);
  EXPECT_FALSE(app.observeNotification(kAXWindowCreatedNotification, app.axElement(), [](const AXUIElement&) {}));
}

TEST_F(SimApplicationsTest, LaunchesAndQuitsAreNotifiedWithTheApplication) {
  std::vector<NSWorkspaceApplicationNotification> launched, quit;
  rx::DisposeBag bag;
  sim_.notificationCenter().didLaunchApplication().subscribe([&](const auto& n) { launched.push_back(n); }).disposed(bag);
  sim_.notificationCenter().didTerminateApplication().subscribe([&](const auto& n) { quit.push_back(n); }).disposed(bag);

  const pid_t pid = apps().launchApplication({.bundleIdentifier = "org.example.Mail", .name = "Mail"});
  EXPECT_EQ(NSRunningApplication::runningApplicationWithProcessIdentifier(pid)->localizedName, "Mail");
  EXPECT_TRUE(launched.empty());
  drain();
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0].application->bundleIdentifier, "org.example.Mail");

  ASSERT_TRUE(apps().quitApplication(pid));
  EXPECT_FALSE(NSRunningApplication::runningApplicationWithProcessIdentifier(pid));
  apps().notifyTerminate({});
  drain();
  ASSERT_EQ(quit.size(), 2u);
  EXPECT_EQ(quit[0].application->processIdentifier, pid);
  EXPECT_FALSE(quit[1].application);
}

TEST_F(SimApplicationsTest, WrappersCompareByElementAndFindTheirBundle) {
  const pid_t pid = apps().addApplication(
      {.bundleIdentifier = "org.example.Editor", .windows = {{.title = "Notes", .subrole = std::nullopt}}});
  const pid_t anonymous = apps().addApplication({.windows = {{}}});
  const AXUIElement element = apps().windowsOf(pid).front();
  const SIWindow a(element);
  SIWindow b(element);
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
