#include "platform/desktop/x11/X11Launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/apps/DesktopEntryFile.h"
#include "platform/dispatch/MainQueue.h"

extern char** environ;

namespace tilvane::x11 {
namespace {

namespace fs = std::filesystem;

/// While the process started for a request runs, the same request repeated this soon does not start another.
constexpr double kStartingWindow = 10.0;

bool isExecutableFile(const std::string& path) {
  struct stat st {};
  // access() alone answers yes to root for files without any execute bit.
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0 &&
         ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::vector<std::string>> commandOfEntry(const fs::path& file, const std::vector<std::string>& args) {
  const auto entry = apps::readDesktopEntryFile(file);
  if (!entry || entry->type != "Application" || entry->hidden || entry->exec.empty()) return std::nullopt;
  return apps::splitExec(entry->exec, args);
}

std::string keyOf(const LaunchRequest& request) {
  return (request.target == LaunchTarget::path ? "path:" : "id:") + request.application;
}

/// Owns the spawn attribute objects for the duration of one spawn.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

X11Launcher::X11Launcher(ApplicationServer& applications, FocusWindow focus)
    : applications_(applications), focus_(std::move(focus)) {
  if (!focus_) focus_ = [this](const AXUIElement& window) { return applications_.focusWindow(window); };
}

X11Launcher::X11Launcher(ApplicationServer& applications, std::vector<fs::path> applicationFolders, FocusWindow focus)
    : X11Launcher(applications, std::move(focus)) {
  folders_ = std::move(applicationFolders);
}

X11Launcher::~X11Launcher() {
  // Children still running are left to run (they are in sessions of their own); the ended ones are reaped.
  reap();
}

std::vector<fs::path> X11Launcher::folders() const { return folders_ ? *folders_ : apps::xdgApplicationFolders(); }

std::optional<std::vector<std::string>> X11Launcher::commandFor(const LaunchRequest& request) const {
  if (request.application.empty()) return std::nullopt;
  if (request.target == LaunchTarget::bundleIdentifier) {
    const auto file = apps::findDesktopEntry(request.application, folders());
    if (!file) return std::nullopt;
    return commandOfEntry(*file, request.arguments);
  }
  if (apps::isDesktopEntryPath(request.application)) return commandOfEntry(request.application, request.arguments);
  if (!isExecutableFile(request.application)) return std::nullopt;
  std::vector<std::string> argv{request.application};
  argv.insert(argv.end(), request.arguments.begin(), request.arguments.end());
  return argv;
}

bool X11Launcher::launch(const LaunchRequest& request) {
  // A running application is brought forward even when no desktop entry could start it.
  if (request.arguments.empty() && request.target == LaunchTarget::bundleIdentifier && !request.newInstance &&
      bringForward(request.application))
    return true;
  const auto argv = commandFor(request);
  if (!argv) return false;
  const std::string key = keyOf(request);
  const double now = dispatch::MainQueue::clock().now();
  if (request.arguments.empty()) {
    const auto it = started_.find(key);
    // A new instance is wanted beside the windows there are: only one still starting holds it back.
    if (it != started_.end() && now - it->second.time < kStartingWindow && isRunning(it->second.pid) &&
        !(request.newInstance && hasWindow(it->second.pid)))
      return true;
  }
  reap();
  const auto pid = spawnDetached(*argv);
  if (!pid) return false;
  started_[key] = Started{*pid, now};
  children_[*pid] = ProcessExitWatch::watch(*pid, [this] { reap(); });
  return true;
}

bool X11Launcher::bringForward(const std::string& bundleIdentifier) {
  for (const NSRunningApplication& app : applications_.runningApplications()) {
    if (app.bundleIdentifier != bundleIdentifier) continue;
    const pid_t pid = app.processIdentifier;
    // Its front-most window on the desktops shown, else on any desktop (the window manager then shows that one).
    AXValue value;
    if (applications_.copyAttributeValue(AXUIElementCreateApplication(pid), kAXWindowsAttribute, value) ==
        AXError::success) {
      const auto* windows = std::get_if<std::vector<AXUIElement>>(&value);
      if (windows && !windows->empty() && focus_(windows->front())) return true;
    }
    const auto all = applications_.copyWindowInfo(kCGWindowListOptionAll);
    if (!all) continue;
    for (const CGWindowInfo& info : *all) {
      if (info.ownerPID != pid || info.windowNumber == kCGNullWindowID) continue;
      if (focus_(AXUIElement{AXUIElement::Role::window, pid, info.windowNumber})) return true;
    }
  }
  return false;
}

void X11Launcher::reap() {
  // Only our own children, each by its pid: a wait for any child would take others' exit statuses.
  for (auto it = children_.begin(); it != children_.end();) {
    int status = 0;
    const pid_t result = ::waitpid(it->first, &status, WNOHANG);
    if (result == it->first || (result < 0 && errno == ECHILD))
      it = children_.erase(it);
    else
      ++it;
  }
}

bool X11Launcher::isRunning(pid_t pid) {
  reap();
  return children_.count(pid) != 0;
}

bool X11Launcher::hasWindow(pid_t pid) const {
  const auto all = applications_.copyWindowInfo(kCGWindowListOptionAll);
  if (!all) return false;
  for (const CGWindowInfo& info : *all)
    if (info.ownerPID == pid && info.windowNumber != kCGNullWindowID) return true;
  return false;
}

std::vector<pid_t> X11Launcher::runningChildren() {
  reap();
  std::vector<pid_t> pids;
  for (const auto& [pid, watch] : children_) pids.push_back(pid);
  return pids;
}

std::optional<pid_t> X11Launcher::spawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty() || argv.front().empty()) return std::nullopt;
  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // A session of its own, no blocked signals, and default handling of the signals a GUI program ignores.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args.front(), &setup.actions, &setup.attributes, args.data(), environ) != 0)
    return std::nullopt;
  return pid;
}

}  // namespace tilvane::x11
