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

  /// Whether process `pid` comes of the last start of a request with the target, application and arguments of
  /// `request`, while the process started then runs: that process, or one in its session (each is started as a
  /// session leader, so a script's child counts). Its windows are that launch's, whatever they are called.
  virtual bool isOfLaunch(const LaunchRequest& request, pid_t pid) {
    (void)request;
    (void)pid;
    return false;
  }

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

/// Launcher::isOfLaunch of the installed desktop's launcher; false without one.
bool isProcessOfLaunch(const LaunchRequest& request, pid_t pid);

/// The open tool's path, the only program a task may be launched with.
inline constexpr std::string_view kOpenToolPath = "/usr/bin/open";

/// Stand-in of a task that runs a program detached and is never waited for.
struct NSTask {
  /// Runs the open tool: `launchPath` must be kOpenToolPath, and `arguments` are, after an optional "-n" (a
  /// new instance), "-a" and an application path or "-b" and a bundle identifier, followed by the arguments for
  /// the application. Answered by the installed desktop's launcher (Desktop::current()). False when the path is
  /// another program, the arguments name no application, or no desktop is installed.
  static bool launchedTaskWithLaunchPath(std::string_view launchPath, const std::vector<std::string>& arguments);
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
                                std::vector<AXUIElement> passOver = {});
  /// Starts the application with this bundle identifier, asynchronously, with no arguments, as above. False when
  /// refused or no desktop is installed.
  static bool launchAppWithBundleIdentifier(const std::string& bundleIdentifier,
                                            NSWorkspaceLaunchOptions options = NSWorkspaceLaunchOptions::defaults,
                                            std::vector<AXUIElement> passOver = {});
};

}  // namespace tilvane
