#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/SIApplication.h"
#include "platform/desktop/SIWindow.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// The running applications the program watches, and the source of windows: it turns the applications'
/// window notifications into calls on the window manager (created, de-minimised) and on the layout manager's
/// recording of moves (moved, resized), and hands over each newly tracked application's visible windows
/// 1.0 s after it is tracked. It learns of launches and quits from the desktop. Main thread only.
class ApplicationManager {
 public:
  /// The one instance, made on first use.
  static ApplicationManager& shared();

  ApplicationManager();
  ~ApplicationManager();
  ApplicationManager(const ApplicationManager&) = delete;
  ApplicationManager& operator=(const ApplicationManager&) = delete;

  /// The tracked applications, in the order they were added; each at most once.
  const std::vector<SIApplication>& apps() const { return apps_; }
  /// The window of the most recent "AXWindowCreated" notification, whether admitted or not, while it is still
  /// there: a closed window is nobody's to take.
  std::optional<SIWindow> lastCreatedWindow() const;
  /// Holds the launch and quit subscriptions made by observe().
  rx::DisposeBag& disposeBag() { return disposeBag_; }

  /// Start-up: tracks every running application that isIgnoredApplication keeps, in the desktop's order:
  /// observes its windows and schedules its visible windows 1.0 s later (each application its own step).
  void setup();
  /// Start-up, right after setup(): subscribes to the desktop's launch and quit notifications.
  void observe();

  /// A launch: logs "did launch app" and tracks the application, whatever its kind.
  void didLaunchApp(const NSWorkspaceApplicationNotification& notification);
  /// A quit: logs "did quit app", removes every managed window of the application (those it still reports and
  /// every held window of its process) and stops tracking it.
  void didTerminateApp(const NSWorkspaceApplicationNotification& notification);

  /// Tracks an application not tracked yet: observes its windows and schedules its visible windows 1.0 s later.
  void addApplication(const SIApplication& application);
  /// The tracked application with process `pid`, if any.
  std::optional<SIApplication> findApplication(pid_t pid) const;
  /// Stops observing the application's windows and stops tracking it.
  void removeApplication(const SIApplication& application);

  /// Observes "AXWindowCreated", "AXWindowDeminiaturized", "AXWindowResized" and "AXWindowMoved" on the
  /// application's own element.
  void observeWindows(const SIApplication& application);
  /// Stops the four observations of observeWindows.
  void unobserveWindows(const SIApplication& application);
  /// Hands the application's visible windows to the window manager, in order.
  void addVisibleWindows(const SIApplication& application);
  /// Removes every window the application reports from the window manager.
  void removeApplicationWindows(const SIApplication& application);

  /// "AXWindowCreated": logs "window created"; a window goes to the window manager and becomes
  /// lastCreatedWindow.
  void windowCreated(const AXUIElement& element);
  /// "AXWindowDeminiaturized": a window goes to the window manager.
  void windowDeminiaturized(const AXUIElement& element);
  /// "AXWindowMoved" / "AXWindowResized": unless a display change is settling, a window's new frame is queued
  /// for recording and `message` logged.
  void windowFrameChanged(const AXUIElement& element, std::string_view message);
  /// A window went to another desktop: its record follows, and one that came onto the desktop shown is taken in.
  void windowDesktopChanged(const AXUIElement& element);

 private:
  rx::DisposeBag disposeBag_;
  std::vector<SIApplication> apps_;
  std::optional<SIWindow> lastCreatedWindow_;
  // Handlers and delayed steps check it, so none reaches a manager that is gone.
  std::shared_ptr<bool> alive_;
};

}  // namespace tilvane
