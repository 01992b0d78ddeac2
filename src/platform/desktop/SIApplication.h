#pragma once

#include <sys/types.h>

#include <string_view>
#include <vector>

#include "platform/desktop/AXUIElement.h"
#include "platform/desktop/ApplicationServer.h"
#include "platform/desktop/NSRunningApplication.h"

namespace tilvane {

class SIWindow;

/// The Accessibility wrapper of one running application: a value naming the application's element. Two
/// wrappers are equal when they name the same element (the same process). Every call asks the installed desktop
/// (Desktop::current()) afresh; without one reads are empty and calls fail. Main thread only.
class SIApplication {
 public:
  /// The application with process `pid`.
  explicit SIApplication(pid_t pid);
  /// The wrapper of a running application.
  static SIApplication applicationWithRunningApplication(const NSRunningApplication& application);

  pid_t processIdentifier() const { return element_.pid; }
  const AXUIElement& axElement() const { return element_; }

  /// Calls `handler` on the main loop for each `notification` the application raises for `element` (itself
  /// for window notifications, a window for its destruction), until unobserved. False when it cannot be
  /// observed.
  bool observeNotification(std::string_view notification, const AXUIElement& element,
                           AXObserverHandler handler) const;
  /// Ends an observation made with observeNotification; false when there was none.
  bool unobserveNotification(std::string_view notification, const AXUIElement& element) const;

  /// The application's windows on the desktops shown now, minimised ones included ("AXWindows"); empty when
  /// the read fails.
  std::vector<SIWindow> windows() const;
  /// windows() less the minimised ones.
  std::vector<SIWindow> visibleWindows() const;

  bool operator==(const SIApplication&) const = default;

 private:
  AXUIElement element_;
};

}  // namespace tilvane
