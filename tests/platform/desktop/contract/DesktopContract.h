#pragma once
// What the application relies on of any desktop backend, written once and run on each: launches and quits,
// windows created, moved and destroyed, a gone window refusing changes, and Control+digit desktop switching.
//
// A backend's fixture B installs its desktop (one 1920x1080 display, four shared desktops, the first shown)
// and acts as a user at it would:
//   ContractApp launch(name)        starts an application `name` (its bundle identifier) with one window titled
//                                   `name`, and returns once the backend knows the window
//   void quit(app)                  the application ends
//   void userMove(window, delta)    the user drags the window by delta's origin and resizes it by delta's size
//   void close(window)              the application closes the window (done when this returns)
//   bool eventually(condition)      lets what the desktop does reach the backend until `condition` holds
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/desktop/CGWindowList.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventPosting.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/SIApplication.h"
#include "platform/desktop/SIWindow.h"
#include "platform/desktop/WindowServer.h"

namespace tilvane::test {

struct ContractApp {
  pid_t pid = 0;
  AXUIElement window;
};

template <class Backend>
class DesktopContract : public Backend {
 protected:
  DesktopNotificationCenter& centre() { return Desktop::current()->notificationCenter(); }

  /// The number of the desktop shown, from the window-server listing.
  static int currentDesktop() {
    const auto listing = CGSCopyManagedDisplaySpaces();
    if (!listing || listing->empty() || !listing->front().spaces) return -1;
    const auto& spaces = *listing->front().spaces;
    for (std::size_t i = 0; i < spaces.size(); ++i)
      if (listing->front().currentSpace == spaces[i]) return static_cast<int>(i);
    return -1;
  }

  /// Whether the current desktop asked of one display alone is the listing's, for each display it lists, for
  /// the first listed when none is named, and absent for a display it does not list.
  static bool currentSpaceAgreesWithTheListing() {
    const auto listing = CGSCopyManagedDisplaySpaces();
    if (!listing || listing->empty()) return !CGSManagedDisplayGetCurrentSpace(std::nullopt);
    const auto currentOf = [](const ManagedDisplay& d) {
      return d.currentSpace ? d.currentSpace->uuid : std::nullopt;
    };
    bool agrees = CGSManagedDisplayGetCurrentSpace(std::nullopt) == currentOf(listing->front()) &&
                  !CGSManagedDisplayGetCurrentSpace(std::string("no such display"));
    for (const ManagedDisplay& d : *listing)
      if (d.displayIdentifier)
        agrees = agrees && CGSManagedDisplayGetCurrentSpace(d.displayIdentifier) == currentOf(d);
    return agrees;
  }

  static void postKey(CGKeyCode key, bool down, CGEventFlags flags) {
    auto event = CGEventCreateKeyboardEvent(key, down);
    ASSERT_TRUE(event);
    CGEventSetFlags(*event, flags);
    CGEventPost(CGEventTapLocation::hid, *event);
  }

  /// Records the application's window notifications `names` as "name:window".
  void observe(pid_t pid, std::initializer_list<std::string_view> names, std::vector<std::string>& seen) {
    const SIApplication app(pid);
    for (const std::string_view name : names)
      ASSERT_TRUE(app.observeNotification(name, app.axElement(), [&seen, name](const AXUIElement& w) {
        seen.push_back(std::string(name) + ":" + std::to_string(w.id));
      }));
  }

  rx::DisposeBag bag_;
};

TYPED_TEST_SUITE_P(DesktopContract);

TYPED_TEST_P(DesktopContract, ALaunchIsToldBeforeItsWindowAndAQuitEndsTheApplication) {
  std::vector<std::string> seen;
  this->centre()
      .didLaunchApplication()
      .subscribe([&](const NSWorkspaceApplicationNotification& n) {
        if (!n.application || n.application->bundleIdentifier != "ContractAlpha") return;
        seen.push_back("launched");
        // As the application manager does: observe the new application's windows at once.
        this->observe(n.application->processIdentifier, {kAXWindowCreatedNotification}, seen);
      })
      .disposed(this->bag_);
  this->centre()
      .didTerminateApplication()
      .subscribe([&](const NSWorkspaceApplicationNotification& n) {
        if (n.application) seen.push_back("quit:" + std::to_string(n.application->processIdentifier));
      })
      .disposed(this->bag_);

  const ContractApp app = this->launch("ContractAlpha");
  ASSERT_TRUE(this->eventually([&] { return seen.size() >= 2; }));
  EXPECT_EQ(seen, (std::vector<std::string>{"launched", "AXWindowCreated:" + std::to_string(app.window.id)}));
  const auto running = NSRunningApplication::runningApplicationWithProcessIdentifier(app.pid);
  ASSERT_TRUE(running);
  EXPECT_EQ(running->bundleIdentifier, "ContractAlpha");
  const auto windows = SIApplication(app.pid).windows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0], SIWindow(app.window));
  EXPECT_EQ(windows[0].title(), "ContractAlpha");

  this->quit(app);
  ASSERT_TRUE(this->eventually([&] { return seen.back() == "quit:" + std::to_string(app.pid); }));
  EXPECT_FALSE(NSRunningApplication::runningApplicationWithProcessIdentifier(app.pid));
}

TYPED_TEST_P(DesktopContract, UserMovesAndResizesAreToldAndReadBack) {
  const ContractApp app = this->launch("ContractMoved");
  std::vector<std::string> seen;
  this->observe(app.pid, {kAXWindowMovedNotification, kAXWindowResizedNotification}, seen);
  const SIWindow window(app.window);
  const std::string id = std::to_string(app.window.id);
  const CGRect start = window.frame();

  this->userMove(app.window, CGRectMake(40, 30, 0, 0));
  EXPECT_TRUE(seen.empty()) << "told on a later turn of the main loop";
  ASSERT_TRUE(this->eventually([&] { return !seen.empty(); }));
  EXPECT_EQ(seen, std::vector<std::string>{"AXWindowMoved:" + id});
  EXPECT_EQ(window.frame(), CGRectMake(start.origin.x + 40, start.origin.y + 30, start.size.width, start.size.height));

  this->userMove(app.window, CGRectMake(0, 0, 20, 10));
  ASSERT_TRUE(this->eventually([&] { return seen.size() >= 2; }));
  EXPECT_EQ(seen, (std::vector<std::string>{"AXWindowMoved:" + id, "AXWindowResized:" + id}));
  EXPECT_EQ(window.frame(),
            CGRectMake(start.origin.x + 40, start.origin.y + 30, start.size.width + 20, start.size.height + 10));
}

TYPED_TEST_P(DesktopContract, AClosedWindowRefusesChangesAtOnceAndIsToldGone) {
  const ContractApp app = this->launch("ContractClosed");
  int destroyed = 0;
  ASSERT_TRUE(SIApplication(app.pid).observeNotification(
      kAXUIElementDestroyedNotification, app.window, [&](const AXUIElement& w) { destroyed += w == app.window; }));

  this->close(app.window);
  // Before the backend has heard of it: nothing is read from it, nothing is sent to it.
  SIWindow window(app.window);
  EXPECT_FALSE(window.setFrame(CGRectMake(0, 0, 100, 100)));
  EXPECT_FALSE(window.setPosition({10, 10}));
  EXPECT_EQ(window.frame(), CGRect{});
  EXPECT_FALSE(window.title());
  EXPECT_FALSE(window.isMovable());
  ASSERT_TRUE(this->eventually([&] { return destroyed == 1; }));
  EXPECT_TRUE(SIApplication(app.pid).windows().empty());
}

TYPED_TEST_P(DesktopContract, ControlDigitShowsThatDesktopAndNothingElseSwitches) {
  int changes = 0;
  this->centre().activeSpaceDidChange().subscribe([&](rx::Unit) { ++changes; }).disposed(this->bag_);
  ASSERT_EQ(this->currentDesktop(), 0);

  this->postKey(kVK_ANSI_3, true, kCGEventFlagMaskControl);
  this->postKey(kVK_ANSI_3, false, 0);
  ASSERT_TRUE(this->eventually([&] { return this->currentDesktop() == 2 && changes == 1; }));
  EXPECT_TRUE(this->currentSpaceAgreesWithTheListing());

  // Nothing changes: the desktop already shown, another modifier with it, a key-up, a desktop that does not
  // exist. The Control+1 after them is the next change.
  this->postKey(kVK_ANSI_3, true, kCGEventFlagMaskControl);
  this->postKey(kVK_ANSI_2, true, kCGEventFlagMaskControl | kCGEventFlagMaskShift);
  this->postKey(kVK_ANSI_2, false, kCGEventFlagMaskControl);
  this->postKey(kVK_ANSI_9, true, kCGEventFlagMaskControl);
  this->postKey(kVK_ANSI_1, true, kCGEventFlagMaskControl);
  ASSERT_TRUE(this->eventually([&] { return this->currentDesktop() == 0 && changes >= 2; }));
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(this->currentSpaceAgreesWithTheListing());
}

TYPED_TEST_P(DesktopContract, AWindowSentToAnotherDesktopIsAnApplicationsWindowOnlyWhileThatOneIsShown) {
  const ContractApp app = this->launch("ContractTraveller");
  const auto listed = [&](CGWindowListOption option) {
    const auto list = CGWindowListCopyWindowInfo(option, kCGNullWindowID);
    return list && std::any_of(list->begin(), list->end(), [&](const CGWindowInfo& i) {
             return i.windowNumber == app.window.id && i.ownerPID == app.pid;
           });
  };
  // Among the application's windows and on screen; the window server may learn of the two at different times.
  const auto shown = [&](std::size_t count) {
    return SIApplication(app.pid).windows().size() == count && listed(kCGWindowListOptionOnScreenOnly) == (count > 0);
  };
  SIWindow window(app.window);
  EXPECT_FALSE(window.moveToSpace(5));  // there are four
  ASSERT_TRUE(window.moveToSpace(3));   // the third desktop
  ASSERT_TRUE(this->eventually([&] { return shown(0); }));
  EXPECT_TRUE(listed(kCGWindowListOptionAll));

  this->postKey(kVK_ANSI_3, true, kCGEventFlagMaskControl);
  EXPECT_TRUE(this->eventually([&] { return shown(1); }));
}

TYPED_TEST_P(DesktopContract, TheDisplaysVisitedAreTheDisplaysListed) {
  const std::vector<NSScreen> listed = NSScreen::screens();
  ASSERT_FALSE(listed.empty());
  std::vector<NSScreen> visited;
  NSScreen::visitScreens([&](const NSScreen& screen) { visited.push_back(screen); });
  EXPECT_EQ(visited, listed);
  EXPECT_EQ(NSScreen::count(), listed.size());
  const auto atOrigin = std::find_if(listed.begin(), listed.end(), [](const NSScreen& s) {
    return s.frame.origin.x == 0 && s.frame.origin.y == 0;
  });
  const NSScreen primary = atOrigin != listed.end() ? *atOrigin : listed.front();
  EXPECT_EQ(NSScreen::primary(), primary);
  // A backend's own answers agree with the walk every backend gets by default.
  const DisplayServer& server = Desktop::current()->displayServer();
  EXPECT_EQ(server.primaryScreen(), server.DisplayServer::primaryScreen());
  EXPECT_EQ(server.screenCount(), server.DisplayServer::screenCount());
  // A window near the primary display's top-left corner (window space) lies on it; one far off lies on none.
  EXPECT_EQ(SIWindow::screenHolding(CGRectMake(primary.frame.minX() + 10, 10, 100, 100)), primary);
  EXPECT_FALSE(SIWindow::screenHolding(CGRectMake(-1e6, -1e6, 10, 10)));
}

REGISTER_TYPED_TEST_SUITE_P(DesktopContract, ALaunchIsToldBeforeItsWindowAndAQuitEndsTheApplication,
                            UserMovesAndResizesAreToldAndReadBack, AClosedWindowRefusesChangesAtOnceAndIsToldGone,
                            ControlDigitShowsThatDesktopAndNothingElseSwitches,
                            AWindowSentToAnotherDesktopIsAnApplicationsWindowOnlyWhileThatOneIsShown,
                            TheDisplaysVisitedAreTheDisplaysListed);

}  // namespace tilvane::test
