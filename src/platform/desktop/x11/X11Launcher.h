#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/apps/ApplicationIdentifier.h"
#include "platform/desktop/ApplicationServer.h"
#include "platform/desktop/LaunchHolds.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/x11/ProcessExitWatch.h"

namespace tilvane::x11 {

/// The environment variable that carries a launch's mark.
inline constexpr std::string_view kLaunchMarkVariable = "TILVANE_LAUNCH_MARK";

/// Starts applications on a Linux desktop. By bundle identifier: the XDG desktop entry with that desktop-file
/// id, its Exec line split by the entry format's rules with the request's arguments put in for its file codes
/// (or appended); else a registered entry (registerApplication) whose windows carry the identifier; without
/// either, the program on PATH that the identifier (a window class) names, as it stands or in lower case. By
/// path: a desktop entry file, or an executable program with the arguments after it.
///
/// Programs are started directly (posix_spawn, searching PATH for a bare name), never through a shell, in a
/// session of their own with standard input and output on /dev/null, default signal handling and the
/// program's environment; the program's own child is reaped when it ends.
///
/// A request without arguments for an application that runs already brings it forward (its first window not
/// passed over takes the focus) instead of starting another instance, also one that no desktop entry names, and
/// by path too; a process of the same program counts when no application carries the identifier. A request for
/// a new instance is never brought forward. A request repeated (with the same arguments and mark, if any) starts
/// nothing while the process started for it still starts (LaunchHolds: it runs, is less than 10 s old, and no
/// window of it, of a process in its session or of the application the request names has appeared; the desktop
/// tells of each window through windowAppeared). A request's mark goes into the environment of the process
/// started, as kLaunchMarkVariable, which every process it starts inherits (and a mark tilvane itself inherited is
/// not passed on); markOf reads it back from /proc. Main thread only.
class X11Launcher final : public Launcher {
 public:
  /// Brings a window forward: shows its desktop and gives it the focus; false when it cannot.
  using FocusWindow = std::function<bool(const AXUIElement& window)>;

  /// Looks entries up in the XDG folders of the environment (read at each launch), asks `applications` which
  /// applications run, and brings their windows forward with `focus` (null: the applications' focusWindow).
  explicit X11Launcher(ApplicationServer& applications, FocusWindow focus = nullptr);
  /// The same, over the given "applications" folders.
  X11Launcher(ApplicationServer& applications, std::vector<std::filesystem::path> applicationFolders,
              FocusWindow focus = nullptr);
  ~X11Launcher() override;
  X11Launcher(const X11Launcher&) = delete;
  X11Launcher& operator=(const X11Launcher&) = delete;

  bool launch(const LaunchRequest& request) override;
  /// Through the FocusWindow given.
  bool activateWindow(const AXUIElement& window) override { return focus_(window); }
  std::optional<std::string> programPath(const LaunchRequest& request) const override;
  std::optional<std::string> markOf(pid_t pid) const override;
  /// Reads /proc: the start time of every process, and the environment of those started since.
  bool markedProcessRuns(const std::string& mark, double since) const override;
  bool startFailed(const LaunchRequest& request) override;
  std::optional<pid_t> parentProcess(pid_t pid) const override;
  std::optional<pid_t> sessionOf(pid_t pid) const override;
  /// Seconds on the boot clock, to the kernel's tick.
  std::optional<double> processStartTime(pid_t pid) const override;
  double processClockNow() const override;
  /// Takes a desktop entry of an application that can be started, under the identifier its windows carry
  /// (apps::entryIdentity); a later one with the same identifier replaces it.
  bool registerApplication(const std::string& path) override;

  /// The command line `request` runs; absent when nothing can be run for it.
  std::optional<std::vector<std::string>> commandFor(const LaunchRequest& request) const;

  /// Starts `argv` (argv[0] searched on PATH) detached as described above, carrying `mark` when not empty; the
  /// child's pid, or absent when it cannot be started. The caller reaps the child.
  static std::optional<pid_t> spawnDetached(const std::vector<std::string>& argv, const std::string& mark = {});

  /// The children started and not yet reaped.
  std::vector<pid_t> runningChildren();

  /// A window of `application` appeared: a start it shows is over.
  void windowAppeared(const NSRunningApplication& application);

 private:
  std::vector<std::filesystem::path> folders() const;
  bool bringForward(const LaunchRequest& request);
  /// Reaps the children that ended, noting how.
  void reap();
  bool isRunning(pid_t pid);
  /// Whether the process has a window now, or is an application (which on X11 it becomes with its first window,
  /// and stays while it runs).
  bool hasShownWindow(pid_t pid) const;

  ApplicationServer& applications_;
  FocusWindow focus_;
  std::optional<std::vector<std::filesystem::path>> folders_;
  LaunchHolds holds_;
  /// The registered desktop entries by the identifier their windows carry; those that are guessed classes are
  /// found by an identifier in another case too.
  std::map<std::string, std::string> registered_;
  apps::GuessedClasses guessed_;
  /// Every child not reaped yet, with the watch that reaps it as soon as it ends (where the loop can watch).
  std::map<pid_t, std::unique_ptr<ProcessExitWatch>> children_;
};

}  // namespace tilvane::x11
