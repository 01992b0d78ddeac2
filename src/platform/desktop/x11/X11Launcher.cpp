#include "platform/desktop/x11/X11Launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/apps/DesktopEntryFile.h"
#include "platform/apps/EntryIdentifier.h"
#include "platform/desktop/x11/ProcessFacts.h"

extern char** environ;

namespace tilvane::x11 {
namespace {

namespace fs = std::filesystem;

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

/// `name` as a program: a path as it stands, a bare name searched on PATH.
std::optional<std::string> findProgram(const std::string& name) {
  if (name.empty()) return std::nullopt;
  if (name.find('/') != std::string::npos) return isExecutableFile(name) ? std::optional(name) : std::nullopt;
  const char* path = std::getenv("PATH");
  std::string_view dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    if (dir.empty()) continue;
    std::string candidate = std::string(dir) + "/" + name;
    if (isExecutableFile(candidate)) return candidate;
  }
  return std::nullopt;
}

/// The program a window's application runs when no desktop entry names it: X11 names such an application by
/// its windows' class, which toolkits make of the program's name ("Wish" for wish, "Wish8.6" for wish8.6).
std::optional<std::string> programOfClass(const std::string& className) {
  // Only a bare name: a stored identifier never names a file elsewhere.
  if (className.find('/') != std::string::npos) return std::nullopt;
  if (auto program = findProgram(className)) return program;
  std::string lower = className;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower == className ? std::nullopt : findProgram(lower);
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
    if (const auto file = apps::findDesktopEntry(request.application, folders()))
      return commandOfEntry(*file, request.arguments);
    // An entry the user added from elsewhere, which the applications folders do not hold.
    if (const auto added = guessed_.find(registered_, request.application); added != registered_.end())
      return commandOfEntry(added->second, request.arguments);
    const auto program = programOfClass(request.application);
    if (!program) return std::nullopt;
    std::vector<std::string> argv{*program};
    argv.insert(argv.end(), request.arguments.begin(), request.arguments.end());
    return argv;
  }
  if (apps::isDesktopEntryPath(request.application)) return commandOfEntry(request.application, request.arguments);
  if (!isExecutableFile(request.application)) return std::nullopt;
  std::vector<std::string> argv{request.application};
  argv.insert(argv.end(), request.arguments.begin(), request.arguments.end());
  return argv;
}

std::optional<std::string> X11Launcher::programPath(const LaunchRequest& request) const {
  LaunchRequest plain = request;
  plain.arguments.clear();
  const auto argv = commandFor(plain);
  if (!argv) return std::nullopt;
  const auto program = findProgram(argv->front());
  if (!program) return std::nullopt;
  std::error_code error;
  const fs::path canonical = fs::canonical(*program, error);
  return error ? std::nullopt : std::optional(canonical.string());
}

bool X11Launcher::launch(const LaunchRequest& request) {
  // A running application is brought forward even when no desktop entry could start it.
  if (request.arguments.empty() && !request.newInstance && bringForward(request)) return true;
  const auto argv = commandFor(request);
  if (!argv) return false;
  if (holds_.isHeldBack(request, [this](pid_t pid) { return isRunning(pid) && !hasShownWindow(pid); }))
    return true;
  reap();
  const auto pid = spawnDetached(*argv, request.mark);
  if (!pid) return false;
  holds_.started(request, *pid);
  children_[*pid] = ProcessExitWatch::watch(*pid, [this] { reap(); });
  return true;
}

std::optional<std::string> X11Launcher::markOf(pid_t pid) const {
  auto mark = startEnvironmentValue(pid, kLaunchMarkVariable);
  if (mark && mark->empty()) return std::nullopt;
  return mark;
}

bool X11Launcher::markedProcessRuns(const std::string& mark, double since) const {
  if (mark.empty()) return false;
  const auto runs = runningProcesses();
  return std::any_of(runs.begin(), runs.end(), [&](pid_t pid) {
    const auto started = processStartSeconds(pid);
    return started && *started >= since && markOf(pid) == mark;
  });
}

bool X11Launcher::startFailed(const LaunchRequest& request) {
  reap();
  return holds_.endedWithError(request);
}

std::optional<pid_t> X11Launcher::parentProcess(pid_t pid) const { return parentProcessId(pid); }

std::optional<pid_t> X11Launcher::sessionOf(pid_t pid) const { return sessionId(pid); }

std::optional<double> X11Launcher::processStartTime(pid_t pid) const { return processStartSeconds(pid); }

double X11Launcher::processClockNow() const { return bootClockSeconds(); }

bool X11Launcher::registerApplication(const std::string& path) {
  if (!apps::isDesktopEntryPath(path)) return false;
  const auto entry = apps::readDesktopEntryFile(path);
  if (!entry || !commandOfEntry(path, {})) return false;
  const apps::EntryIdentity identity = apps::entryIdentity(path, *entry, folders());
  if (identity.guessed) guessed_.add(identity.identifier);
  registered_[identity.identifier] = path;
  return true;
}

bool X11Launcher::bringForward(const LaunchRequest& request) {
  const auto running = applications_.runningApplications();
  const auto takes = [&](const AXUIElement& window) {
    return std::find(request.passOver.begin(), request.passOver.end(), window) == request.passOver.end() &&
           focus_(window);
  };
  const auto bringsForward = [&](pid_t pid) {
    // Its front-most window on the desktops shown, else on any desktop (the window manager then shows that one).
    AXValue value;
    if (applications_.copyAttributeValue(AXUIElementCreateApplication(pid), kAXWindowsAttribute, value) ==
        AXError::success)
      if (const auto* windows = std::get_if<std::vector<AXUIElement>>(&value))
        for (const AXUIElement& window : *windows)
          if (takes(window)) return true;
    const auto all = applications_.copyWindowInfo(kCGWindowListOptionAll);
    if (!all) return false;
    for (const CGWindowInfo& info : *all)
      if (info.ownerPID == pid && info.windowNumber != kCGNullWindowID &&
          takes(AXUIElement{AXUIElement::Role::window, pid, info.windowNumber}))
        return true;
    return false;
  };
  // The application by its name; else, when none carries it, the processes of the program it runs (started
  // through a link, its windows may carry another name).
  bool named = false;
  if (request.target == LaunchTarget::bundleIdentifier)
    for (const NSRunningApplication& app : running)
      if (app.bundleIdentifier == request.application) {
        named = true;
        if (bringsForward(app.processIdentifier)) return true;
      }
  if (named) return false;
  const auto program = programPath(request);
  if (!program) return false;
  for (const NSRunningApplication& app : running)
    if (app.executableURL == program && bringsForward(app.processIdentifier)) return true;
  return false;
}

void X11Launcher::reap() {
  // Only our own children, each by its pid: a wait for any child would take others' exit statuses.
  for (auto it = children_.begin(); it != children_.end();) {
    int status = 0;
    const pid_t result = ::waitpid(it->first, &status, WNOHANG);
    if (result == it->first) holds_.ended(it->first, !WIFEXITED(status) || WEXITSTATUS(status) != 0);
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

bool X11Launcher::hasShownWindow(pid_t pid) const {
  if (applications_.runningApplication(pid)) return true;
  const auto all = applications_.copyWindowInfo(kCGWindowListOptionAll);
  if (!all) return false;
  for (const CGWindowInfo& info : *all)
    if (info.ownerPID == pid && info.windowNumber != kCGNullWindowID) return true;
  return false;
}

void X11Launcher::windowAppeared(const NSRunningApplication& application) {
  const pid_t pid = application.processIdentifier;
  holds_.windowAppeared(pid, ::getsid(pid), application.bundleIdentifier);
}

std::vector<pid_t> X11Launcher::runningChildren() {
  reap();
  std::vector<pid_t> pids;
  for (const auto& [pid, watch] : children_) pids.push_back(pid);
  return pids;
}

std::optional<pid_t> X11Launcher::spawnDetached(const std::vector<std::string>& argv, const std::string& mark) {
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
  // The mark first, so that a bounded read of the environment finds it; never one tilvane inherited itself.
  const std::string markEntry = std::string(kLaunchMarkVariable) + "=" + mark;
  std::vector<char*> environment;
  if (!mark.empty()) environment.push_back(const_cast<char*>(markEntry.c_str()));
  const std::string_view inherited = std::string_view(markEntry).substr(0, kLaunchMarkVariable.size() + 1);
  for (char** entry = environ; entry && *entry; ++entry)
    if (std::string_view(*entry).substr(0, inherited.size()) != inherited) environment.push_back(*entry);
  environment.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args.front(), &setup.actions, &setup.attributes, args.data(), environment.data()) != 0)
    return std::nullopt;
  return pid;
}

}  // namespace tilvane::x11
