#include "platform/desktop/Launcher.h"

#include "platform/desktop/ApplicationServer.h"
#include "platform/desktop/Desktop.h"

namespace tilvane {
namespace {

/// The launcher of a backend that cannot start anything.
class RefusingLauncher final : public Launcher {
 public:
  bool launch(const LaunchRequest&) override { return false; }
};

bool launchThroughDesktop(const LaunchRequest& request) {
  Desktop* desktop = Desktop::current();
  if (!desktop || request.application.empty()) return false;
  return desktop->launcher().launch(request);
}

}  // namespace

Launcher& Desktop::launcher() {
  // Stateless, so one instance can serve every backend without a launcher of its own.
  static RefusingLauncher refusing;
  return refusing;
}

bool Launcher::activateWindow(const AXUIElement& window) {
  Desktop* desktop = Desktop::current();
  return desktop && desktop->applicationServer().focusWindow(window);
}

bool bringWindowForward(const AXUIElement& window) {
  Desktop* desktop = Desktop::current();
  return desktop && window.isWindow() && desktop->launcher().activateWindow(window);
}

bool NSTask::launchedTaskWithLaunchPath(std::string_view launchPath, const std::vector<std::string>& arguments,
                                        std::string mark) {
  if (launchPath != kOpenToolPath) return false;
  LaunchRequest request;
  const std::size_t first = !arguments.empty() && arguments[0] == "-n" ? 1 : 0;
  if (arguments.size() < first + 2) return false;
  if (arguments[first] == "-a")
    request.target = LaunchTarget::path;
  else if (arguments[first] == "-b")
    request.target = LaunchTarget::bundleIdentifier;
  else
    return false;
  request.application = arguments[first + 1];
  request.arguments.assign(arguments.begin() + static_cast<std::ptrdiff_t>(first + 2), arguments.end());
  request.viaOpenTool = true;
  request.newInstance = first == 1;
  request.mark = std::move(mark);
  return launchThroughDesktop(request);
}

bool NSWorkspaceLaunch::launchApplication(const std::string& path, NSWorkspaceLaunchOptions options,
                                          std::vector<AXUIElement> passOver, std::string mark) {
  return launchThroughDesktop(LaunchRequest{LaunchTarget::path, path, {}, false,
                                            options == NSWorkspaceLaunchOptions::newInstance, std::move(passOver),
                                            std::move(mark)});
}

bool NSWorkspaceLaunch::launchAppWithBundleIdentifier(const std::string& bundleIdentifier,
                                                      NSWorkspaceLaunchOptions options,
                                                      std::vector<AXUIElement> passOver, std::string mark) {
  return launchThroughDesktop(LaunchRequest{LaunchTarget::bundleIdentifier, bundleIdentifier, {}, false,
                                            options == NSWorkspaceLaunchOptions::newInstance, std::move(passOver),
                                            std::move(mark)});
}

bool LSRegisterURL(const std::string& path) {
  Desktop* desktop = Desktop::current();
  return desktop && !path.empty() && desktop->launcher().registerApplication(path);
}

std::optional<std::string> launchedProgramPath(const LaunchRequest& request) {
  Desktop* desktop = Desktop::current();
  if (!desktop || request.application.empty()) return std::nullopt;
  return desktop->launcher().programPath(request);
}

std::optional<std::string> launchMarkOf(pid_t pid) {
  Desktop* desktop = Desktop::current();
  if (!desktop || pid <= 0) return std::nullopt;
  return desktop->launcher().markOf(pid);
}

bool markedProcessRuns(const std::string& mark, double since) {
  Desktop* desktop = Desktop::current();
  return desktop && !mark.empty() && desktop->launcher().markedProcessRuns(mark, since);
}

bool launchStartFailed(const LaunchRequest& request) {
  Desktop* desktop = Desktop::current();
  return desktop && !request.application.empty() && desktop->launcher().startFailed(request);
}

double processClockNow() {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->launcher().processClockNow() : 0;
}

std::optional<pid_t> parentProcessOf(pid_t pid) {
  Desktop* desktop = Desktop::current();
  if (!desktop || pid <= 0) return std::nullopt;
  return desktop->launcher().parentProcess(pid);
}

std::optional<pid_t> processSessionOf(pid_t pid) {
  Desktop* desktop = Desktop::current();
  if (!desktop || pid <= 0) return std::nullopt;
  return desktop->launcher().sessionOf(pid);
}

std::optional<double> processStartTime(pid_t pid) {
  Desktop* desktop = Desktop::current();
  if (!desktop || pid <= 0) return std::nullopt;
  return desktop->launcher().processStartTime(pid);
}

bool processStartedBefore(pid_t pid, double moment) {
  const auto started = processStartTime(pid);
  return started && *started < moment;
}

}  // namespace tilvane
