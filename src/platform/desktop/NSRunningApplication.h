#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tilvane {

/// A running application as the desktop reports it, a snapshot taken when it was listed. On X11 a process with
/// windows; its bundle identifier is the desktop-entry id matching its windows' class, else that class.
///
/// The static members read the installed desktop (Desktop::current()) afresh at every call. Main thread only.
struct NSRunningApplication {
  pid_t processIdentifier = 0;
  /// Absent for processes the desktop cannot name.
  std::optional<std::string> bundleIdentifier;
  /// The name shown to the user; absent when unknown.
  std::optional<std::string> localizedName;
  /// The program file the process runs; absent when unknown.
  std::optional<std::string> executableURL;
  /// An agent runs without a presence of its own among the user's applications (no dock or task-bar entry:
  /// a tray helper, a background service).
  bool isAgent = false;

  /// The running application with process `pid`; absent when none runs (or no desktop is installed).
  static std::optional<NSRunningApplication> runningApplicationWithProcessIdentifier(pid_t pid);

  bool operator==(const NSRunningApplication&) const = default;
};

/// The shared workspace's view of the running applications.
struct NSWorkspace {
  /// Every running application, in the desktop's order; empty without a desktop.
  static std::vector<NSRunningApplication> runningApplications();
};

/// A launch or quit notification. `application` is the value under the application key of its user info:
/// absent when the notification carries none (or one of another kind).
struct NSWorkspaceApplicationNotification {
  std::optional<NSRunningApplication> application;
  bool operator==(const NSWorkspaceApplicationNotification&) const = default;
};

}  // namespace tilvane
