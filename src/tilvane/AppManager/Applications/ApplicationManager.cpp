#include "AppManager/Applications/ApplicationManager.h"

#include <algorithm>
#include <string>

#include "AppManager/Applications/ApplicationFilter.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/Desktop.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
constexpr double kVisibleWindowsDelay = 1.0;
}  // namespace

ApplicationManager& ApplicationManager::shared() { return SharedInstance<ApplicationManager>::get(); }

ApplicationManager::ApplicationManager() : alive_(std::make_shared<bool>(true)) {}

ApplicationManager::~ApplicationManager() = default;

std::optional<SIWindow> ApplicationManager::lastCreatedWindow() const {
  Desktop* desktop = Desktop::current();
  if (!lastCreatedWindow_ || !desktop ||
      !desktop->applicationServer().windowFrame(lastCreatedWindow_->axElement()))
    return std::nullopt;
  return lastCreatedWindow_;
}

void ApplicationManager::setup() {
  for (const NSRunningApplication& running : NSWorkspace::runningApplications()) {
    if (isIgnoredApplication(running)) continue;
    addApplication(SIApplication::applicationWithRunningApplication(running));
  }
}

void ApplicationManager::observe() {
  Desktop* desktop = Desktop::current();
  if (!desktop) return;
  auto& center = desktop->notificationCenter();
  std::weak_ptr<bool> alive = alive_;
  disposeBag_.insert(center.didLaunchApplication().subscribe([this, alive](const auto& notification) {
    if (alive.lock()) didLaunchApp(notification);
  }));
  disposeBag_.insert(center.didTerminateApplication().subscribe([this, alive](const auto& notification) {
    if (alive.lock()) didTerminateApp(notification);
  }));
}

void ApplicationManager::didLaunchApp(const NSWorkspaceApplicationNotification& notification) {
  LogManager::debug("did launch app");
  if (!notification.application) return;
  addApplication(SIApplication::applicationWithRunningApplication(*notification.application));
}

void ApplicationManager::didTerminateApp(const NSWorkspaceApplicationNotification& notification) {
  LogManager::debug("did quit app");
  if (!notification.application) return;
  const auto application = findApplication(notification.application->processIdentifier);
  if (!application) return;
  removeApplicationWindows(*application);
  // Also the windows the application no longer reports.
  const std::vector<SIWindow> held = WindowManager::shared().windows();
  for (const SIWindow& window : held)
    if (window.processIdentifier() == application->processIdentifier()) WindowManager::shared().removeWindow(window);
  removeApplication(*application);
}

void ApplicationManager::addApplication(const SIApplication& application) {
  if (std::find(apps_.begin(), apps_.end(), application) != apps_.end()) return;
  apps_.push_back(application);
  observeWindows(application);
  std::weak_ptr<bool> alive = alive_;
  dispatch::MainQueue::asyncAfter(kVisibleWindowsDelay, [this, alive, application] {
    if (alive.lock()) addVisibleWindows(application);
  });
}

std::optional<SIApplication> ApplicationManager::findApplication(pid_t pid) const {
  const auto it = std::find_if(apps_.begin(), apps_.end(),
                               [pid](const SIApplication& app) { return app.processIdentifier() == pid; });
  return it == apps_.end() ? std::nullopt : std::optional(*it);
}

void ApplicationManager::removeApplication(const SIApplication& application) {
  unobserveWindows(application);
  const auto it = std::find(apps_.begin(), apps_.end(), application);
  if (it != apps_.end()) apps_.erase(it);
}

void ApplicationManager::observeWindows(const SIApplication& application) {
  std::weak_ptr<bool> alive = alive_;
  const AXUIElement& element = application.axElement();
  application.observeNotification(kAXWindowCreatedNotification, element, [this, alive](const AXUIElement& e) {
    if (alive.lock()) windowCreated(e);
  });
  application.observeNotification(kAXWindowDeminiaturizedNotification, element,
                                  [this, alive](const AXUIElement& e) {
                                    if (alive.lock()) windowDeminiaturized(e);
                                  });
  application.observeNotification(kAXWindowResizedNotification, element, [this, alive](const AXUIElement& e) {
    if (alive.lock()) windowFrameChanged(e, "window resize");
  });
  application.observeNotification(kAXWindowMovedNotification, element, [this, alive](const AXUIElement& e) {
    if (alive.lock()) windowFrameChanged(e, "window moved");
  });
  // The record's desktop follows the window, so that a snapshot saves where each window is.
  application.observeNotification(kAXWindowDesktopChangedNotification, element,
                                  [this, alive](const AXUIElement& e) {
                                    if (alive.lock()) windowDesktopChanged(e);
                                  });
}

void ApplicationManager::unobserveWindows(const SIApplication& application) {
  const AXUIElement& element = application.axElement();
  application.unobserveNotification(kAXWindowCreatedNotification, element);
  application.unobserveNotification(kAXWindowDeminiaturizedNotification, element);
  application.unobserveNotification(kAXWindowResizedNotification, element);
  application.unobserveNotification(kAXWindowMovedNotification, element);
  application.unobserveNotification(kAXWindowDesktopChangedNotification, element);
}

void ApplicationManager::addVisibleWindows(const SIApplication& application) {
  const std::vector<SIWindow> windows = application.visibleWindows();
  if (windows.empty()) return;
  // Every one of them belongs to this process: its bundle identifier is asked once, not once per window.
  const auto running =
      NSRunningApplication::runningApplicationWithProcessIdentifier(application.processIdentifier());
  const std::optional<std::string> bundle = running ? running->bundleIdentifier : std::nullopt;
  for (const SIWindow& window : windows) WindowManager::shared().addWindow(window, bundle);
}

void ApplicationManager::removeApplicationWindows(const SIApplication& application) {
  for (const SIWindow& window : application.windows()) WindowManager::shared().removeWindow(window);
}

void ApplicationManager::windowCreated(const AXUIElement& element) {
  LogManager::debug("window created");
  const auto window = SIWindow::fromElement(element);
  if (!window) return;
  WindowManager::shared().addWindow(window);
  lastCreatedWindow_ = window;
}

void ApplicationManager::windowDeminiaturized(const AXUIElement& element) {
  if (const auto window = SIWindow::fromElement(element)) WindowManager::shared().addWindow(window);
}

void ApplicationManager::windowDesktopChanged(const AXUIElement& element) {
  windowFrameChanged(element, "window desktop changed");
  // A window that comes onto the desktop shown is taken in now, as if it had been there all along: one from a
  // desktop not shown since the start was never seen, and would otherwise wait for the next desktop switch.
  const auto window = SIWindow::fromElement(element);
  if (!window || WindowManager::shared().contains(*window)) return;
  const auto application = window->app();
  if (!application) return;
  const std::vector<SIWindow> shown = application->visibleWindows();
  if (std::find(shown.begin(), shown.end(), *window) != shown.end()) WindowManager::shared().addWindow(window);
}

void ApplicationManager::windowFrameChanged(const AXUIElement& element, std::string_view message) {
  if (ScreenManager::shared().isScreenChanging()) return;
  const auto window = SIWindow::fromElement(element);
  if (!window) return;
  LayoutManager::shared().queueFrameUpdate(*window);
  LogManager::debug(message);
}

}  // namespace tilvane
