#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/desktop/Launcher.h"

namespace tilvane {

/// What a launcher remembers of the process it started last for each request (its target, application,
/// arguments and mark), to hold back the same request repeated while that process still starts: it runs, started
/// less than 10 s ago, and no window of its application has appeared since. Its application's windows are those of
/// its process and of the processes in its session (a launcher starts each process as a session leader, so a
/// wrapper script that runs the program as a child and stays counts), and, for a request by bundle identifier,
/// those of that application whatever process shows them. Once such a window has appeared the hold is over for
/// good, whether or not that window is still open: the same request again asks for another. Times are the main
/// loop's. Main thread only.
class LaunchHolds {
 public:
  /// `request` started process `pid` now; 0 when the process is still to come (see startedAs).
  void started(const LaunchRequest& request, pid_t pid);
  /// The process still to come for the last start of `request` is `pid`.
  void startedAs(const LaunchRequest& request, pid_t pid);
  /// A window appeared, of process `pid` in session `session`, whose application has `bundleIdentifier`.
  void windowAppeared(pid_t pid, pid_t session, const std::optional<std::string>& bundleIdentifier);
  /// Whether a launch of `request` now starts nothing: the process started for it is held, and `starting` (the
  /// backend's own look at it, asked only then) says it still runs and shows nothing.
  bool isHeldBack(const LaunchRequest& request, const std::function<bool(pid_t)>& starting) const;
  /// The process the last start of `request` started, once it is known.
  std::optional<pid_t> startedProcess(const LaunchRequest& request) const;
  /// Process `pid` ended, with an error or without.
  void ended(pid_t pid, bool withError);
  /// Whether the process the last start of `request` started ended with an error.
  bool endedWithError(const LaunchRequest& request) const;

 private:
  struct Hold {
    pid_t pid = 0;
    double time = 0;
    /// The application a request by bundle identifier names.
    std::optional<std::string> bundleIdentifier;
    bool windowAppeared = false;
    bool failed = false;
  };
  /// By the request's target, application, arguments and mark.
  std::map<std::string, Hold> holds_;
};

}  // namespace tilvane
