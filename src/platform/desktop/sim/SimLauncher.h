#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/LaunchHolds.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/sim/SimApplications.h"

namespace tilvane::sim {

/// How a scripted application answers a launch.
struct SimLaunchScript {
  /// The application that starts (its bundle identifier names it among the running applications). Its
  /// `windows` are ignored: the launch opens `window` instead.
  SimApplicationConfig application;
  /// The window it opens once started.
  SimWindowConfig window;
  /// Seconds from the launch to the start of the application (its launch notification).
  double startDelay = 0.2;
  /// Seconds from the start to its window ("AXWindowCreated"); the window then takes the focus.
  double windowDelay = 0.5;
  /// False: it cannot be started (the launch is refused).
  bool starts = true;
  /// False: it starts but never shows a window.
  bool opensWindow = true;
};

/// The launcher of a SimDesktop. It records every launch and answers those naming a scripted application (by
/// the path or bundle identifier given to script()) as the X11 launcher does, on the main loop:
/// - running, asked without arguments and not for a new instance: it is brought forward startDelay later (its
///   first window not passed over takes the focus);
/// - otherwise a process starts after startDelay and opens its window, focused, windowDelay later, unless the
///   same request started one that still starts (LaunchHolds: it runs, and no window of it or of the application
///   the request names has appeared; the desktop tells of each window through windowAppeared).
/// A process started carries the request's mark; process times are the main loop's.
/// A launch naming no scripted application, or one that cannot start, is recorded and refused. Main thread only.
class SimLauncher final : public Launcher {
 public:
  explicit SimLauncher(SimApplications& applications);
  ~SimLauncher() override;
  SimLauncher(const SimLauncher&) = delete;
  SimLauncher& operator=(const SimLauncher&) = delete;

  /// Answers launches naming `application` (a path or a bundle identifier) with `script` from now on.
  void script(const std::string& application, SimLaunchScript script);

  /// Every launch so far, in order, refused ones included.
  const std::vector<LaunchRequest>& launches() const { return launches_; }
  /// The main-loop time of each launch, in the order of launches().
  const std::vector<double>& launchTimes() const { return launchTimes_; }
  void clearLaunches();

  // Launcher
  bool launch(const LaunchRequest& request) override;
  std::optional<std::string> markOf(pid_t pid) const override { return applications_.markOf(pid); }
  bool markedProcessRuns(const std::string& mark, double since) const override;
  /// The main loop's time.
  std::optional<double> processStartTime(pid_t pid) const override { return applications_.startTimeOf(pid); }
  double processClockNow() const override;
  std::optional<pid_t> parentProcess(pid_t pid) const override { return applications_.parentOf(pid); }
  std::optional<pid_t> sessionOf(pid_t pid) const override { return applications_.sessionOf(pid); }

  /// A window of `application` appeared: a start it shows is over. A simulated process leads a session of its
  /// own.
  void windowAppeared(const NSRunningApplication& application);

 private:
  bool bringForward(const LaunchRequest& request, const SimLaunchScript& script);
  /// Whether process `pid` runs; 0, a process about to start, does.
  bool isRunning(pid_t pid) const;
  void start(const LaunchRequest& request);

  SimApplications& applications_;
  std::map<std::string, SimLaunchScript> scripts_;
  LaunchHolds holds_;
  std::vector<LaunchRequest> launches_;
  std::vector<double> launchTimes_;
  /// Tasks on the main loop hold it weakly, so none runs after the launcher is gone.
  std::shared_ptr<SimLauncher*> self_;
};

}  // namespace tilvane::sim
