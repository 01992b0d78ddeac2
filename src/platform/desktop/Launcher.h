#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop/AXUIElement.h"

namespace tilvane {

/// How a launch names its application.
enum class LaunchTarget { path, bundleIdentifier };

/// One request to start an application, or to bring a running one forward.
struct LaunchRequest {
  LaunchTarget target = LaunchTarget::bundleIdentifier;
  /// The application's path (a program, or an application's desktop entry on X11) or its bundle identifier
  /// (the desktop-entry id on X11).
  std::string application;
  /// Handed to the application, each as an argument of its own, never through a shell.
  std::vector<std::string> arguments;
  /// True when the request came through the open tool ("/usr/bin/open"), false for the shared workspace.
  bool viaOpenTool = false;
  /// Start another instance even when the application runs already (the open tool's "-n").
  bool newInstance = false;
  /// Windows that bringing the running application forward passes over (taken by someone already): when it has
  /// no other, another instance starts.
  std::vector<AXUIElement> passOver;
  /// Left on the processes a start runs, and inherited by every process they start however they part from it
  /// (a child in the background, a double fork into a session of its own): Launcher::markOf tells it from any
  /// of them. Empty: none.
  std::string mark;
  bool operator==(const LaunchRequest&) const = default;
};

/// The backend's way of starting applications: what the open tool and the shared workspace's launch calls do.
/// A launch returns at once; the application starts (and shows its windows) later, or never. Main thread only.
class Launcher {
 public:
  virtual ~Launcher() = default;

  /// Starts the application, or brings it forward when it runs already (unless the request asks for a new
  /// instance), without waiting for it. False when the request is refused at once (nothing by that name can be
  /// started); a later failure is not reported.
  virtual bool launch(const LaunchRequest& request) = 0;

  /// The program file a launch of `request` runs, its links resolved: a running process of that program is the
  /// application, whatever name its windows carry. Absent when the backend cannot tell.
  virtual std::optional<std::string> programPath(const LaunchRequest&) const { return std::nullopt; }

  /// The mark (LaunchRequest::mark) process `pid` carries from the start that ran it or one of its ancestors;
  /// absent when it carries none, or the backend cannot tell.
  virtual std::optional<std::string> markOf(pid_t) const { return std::nullopt; }

  /// Whether a process carrying `mark` that started at `since` or later still runs (one a launch made then may
  /// still show a window); false when none does, or the backend cannot tell.
  virtual bool markedProcessRuns(const std::string& mark, double since) const {
    (void)mark;
    (void)since;
    return false;
  }

  /// Whether the process the last start of `request` (its target, application, arguments and mark) ran has ended
  /// with an error (a status other than 0, or a signal). False while it runs, or when it ended well.
  virtual bool startFailed(const LaunchRequest&) { return false; }

  /// The process that started `pid` (its parent now); absent when `pid` has ended or the backend cannot tell.
  virtual std::optional<pid_t> parentProcess(pid_t) const { return std::nullopt; }

  /// The session process `pid` is in (the process id of its leader, which need not run any more); absent when
  /// `pid` has ended or the backend cannot tell.
  virtual std::optional<pid_t> sessionOf(pid_t) const { return std::nullopt; }

  /// When process `pid` started, in seconds on the backend's process clock; absent when it cannot tell.
  virtual std::optional<double> processStartTime(pid_t) const { return std::nullopt; }
  /// Now on the process clock: a process started after this reads as later, never as earlier.
  virtual double processClockNow() const { return 0; }

  /// Brings `window` of a running application forward, as a launch of that application offering it would: shows
  /// the desktop it is on and gives it the focus. False when it cannot. By default only the focus.
  virtual bool activateWindow(const AXUIElement& window);

  /// Makes the application at `path`, wherever it lies (a desktop entry the user picked by hand), known to
  /// launches by its bundle identifier from now on. False when the backend cannot read or start it.
  virtual bool registerApplication(const std::string& path) {
    (void)path;
    return false;
  }
};

/// Stand-in of registering an application with the launch services: Launcher::registerApplication of the
/// installed desktop's launcher; false without one.
bool LSRegisterURL(const std::string& path);

/// Launcher::activateWindow of the installed desktop's launcher; false without one.
bool bringWindowForward(const AXUIElement& window);

/// Launcher::programPath of the installed desktop's launcher; absent without one.
std::optional<std::string> launchedProgramPath(const LaunchRequest& request);

/// Launcher::markOf of the installed desktop's launcher; absent without one.
std::optional<std::string> launchMarkOf(pid_t pid);

/// Launcher::markedProcessRuns of the installed desktop's launcher; false without one.
bool markedProcessRuns(const std::string& mark, double since);

/// Launcher::startFailed of the installed desktop's launcher; false without one.
bool launchStartFailed(const LaunchRequest& request);

/// Launcher::processClockNow of the installed desktop's launcher; 0 without one.
double processClockNow();

/// Launcher::parentProcess of the installed desktop's launcher; absent without one.
std::optional<pid_t> parentProcessOf(pid_t pid);

/// Launcher::sessionOf of the installed desktop's launcher; absent without one.
std::optional<pid_t> processSessionOf(pid_t pid);

/// Launcher::processStartTime of the installed desktop's launcher; absent without one.
std::optional<double> processStartTime(pid_t pid);

/// Whether process `pid` started before `moment` (a processClockNow() taken earlier); false when unknown.
bool processStartedBefore(pid_t pid, double moment);

/// The open tool's path, the only program a task may be launched with.
inline constexpr std::string_view kOpenToolPath = "/usr/bin/open";

/// Stand-in of a task that runs a program detached and is never waited for.
struct NSTask {
  /// Runs the open tool: `launchPath` must be kOpenToolPath, and `arguments` are, after an optional "-n" (a
  /// new instance), "-a" and an application path or "-b" and a bundle identifier, followed by the arguments for
  /// the application. Answered by the installed desktop's launcher (Desktop::current()). False when the path is
  /// another program, the arguments name no application, or no desktop is installed.
  /// `mark`: see LaunchRequest::mark.
  static bool launchedTaskWithLaunchPath(std::string_view launchPath, const std::vector<std::string>& arguments,
                                         std::string mark = {});
};

/// The launch options of the shared workspace's launch calls that matter here.
enum class NSWorkspaceLaunchOptions {
  /// A running application is brought forward.
  defaults,
  /// Another instance is started even when the application runs.
  newInstance,
};

/// Stand-in of the shared workspace's launch calls, answered by the installed desktop's launcher.
struct NSWorkspaceLaunch {
  /// Starts the application at `path` with no arguments. False when refused or no desktop is installed.
  /// A running application is brought forward with a window not in `passOver`. False when refused or no desktop
  /// is installed.
  static bool launchApplication(const std::string& path,
                                NSWorkspaceLaunchOptions options = NSWorkspaceLaunchOptions::defaults,
                                std::vector<AXUIElement> passOver = {}, std::string mark = {});
  /// Starts the application with this bundle identifier, asynchronously, with no arguments, as above. False when
  /// refused or no desktop is installed.
  static bool launchAppWithBundleIdentifier(const std::string& bundleIdentifier,
                                            NSWorkspaceLaunchOptions options = NSWorkspaceLaunchOptions::defaults,
                                            std::vector<AXUIElement> passOver = {}, std::string mark = {});
};

}  // namespace tilvane
