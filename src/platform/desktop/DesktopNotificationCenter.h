#pragma once

#include "platform/desktop/NSRunningApplication.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// The notifications a desktop backend raises, one subject each, always delivered on the main loop (post()).
/// Observers subscribe to the subjects; only the backend sends. Further sources (application launches and
/// quits, window notifications) join this centre as subjects of their own.
class DesktopNotificationCenter {
 public:
  /// The user moved to another desktop on some display.
  rx::PublishSubject<rx::Unit>& activeSpaceDidChange() { return activeSpaceDidChange_; }
  /// The display set changed: a display attached, detached, rearranged or resized.
  rx::PublishSubject<rx::Unit>& screenParametersDidChange() { return screenParametersDidChange_; }
  /// The machine woke from sleep.
  rx::PublishSubject<rx::Unit>& didWake() { return didWake_; }
  /// The displays woke from sleep.
  rx::PublishSubject<rx::Unit>& screensDidWake() { return screensDidWake_; }
  /// A compositing manager started or stopped (ProgramServer::isCompositing).
  rx::PublishSubject<rx::Unit>& compositingDidChange() { return compositingDidChange_; }
  /// An application started (the shared workspace's launch notification).
  rx::PublishSubject<NSWorkspaceApplicationNotification>& didLaunchApplication() { return didLaunchApplication_; }
  /// An application ended (the shared workspace's quit notification).
  rx::PublishSubject<NSWorkspaceApplicationNotification>& didTerminateApplication() {
    return didTerminateApplication_;
  }
  /// A window appeared: the application it belongs to.
  rx::PublishSubject<NSRunningApplication>& windowDidAppear() { return windowDidAppear_; }

  /// Sends `value` to the subject's observers on a later turn of the main loop; at once when no main loop is
  /// installed. Safe when the centre is gone by then: the task holds the subject, not the centre.
  template <class T>
  static void post(const rx::PublishSubject<T>& subject, T value) {
    if (dispatch::MainQueue::loop() == nullptr) {
      subject.onNext(value);
      return;
    }
    dispatch::MainQueue::async([subject, value = std::move(value)] { subject.onNext(value); });
  }

  /// post() for a pure signal.
  static void post(const rx::PublishSubject<rx::Unit>& subject) { post(subject, rx::Unit{}); }

 private:
  rx::PublishSubject<rx::Unit> activeSpaceDidChange_;
  rx::PublishSubject<rx::Unit> screenParametersDidChange_;
  rx::PublishSubject<rx::Unit> didWake_;
  rx::PublishSubject<rx::Unit> screensDidWake_;
  rx::PublishSubject<rx::Unit> compositingDidChange_;
  rx::PublishSubject<NSWorkspaceApplicationNotification> didLaunchApplication_;
  rx::PublishSubject<NSWorkspaceApplicationNotification> didTerminateApplication_;
  rx::PublishSubject<NSRunningApplication> windowDidAppear_;
};

}  // namespace tilvane
