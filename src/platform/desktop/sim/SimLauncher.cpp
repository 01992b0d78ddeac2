#include "platform/desktop/sim/SimLauncher.h"

#include <algorithm>

#include "platform/dispatch/MainQueue.h"

namespace tilvane::sim {
namespace {

/// The processes of the running application with this bundle identifier, in the order they started.
std::vector<pid_t> runningPids(const SimApplications& applications, const std::optional<std::string>& bundleId) {
  std::vector<pid_t> pids;
  if (!bundleId) return pids;
  for (const NSRunningApplication& app : applications.runningApplications())
    if (app.bundleIdentifier == bundleId) pids.push_back(app.processIdentifier);
  return pids;
}

/// The first window of `pids` not passed over.
std::optional<AXUIElement> freeWindow(const SimApplications& applications, const std::vector<pid_t>& pids,
                                      const std::vector<AXUIElement>& passOver) {
  for (const pid_t pid : pids)
    for (const AXUIElement& window : applications.windowsOf(pid))
      if (std::find(passOver.begin(), passOver.end(), window) == passOver.end()) return window;
  return std::nullopt;
}

}  // namespace

SimLauncher::SimLauncher(SimApplications& applications)
    : applications_(applications), self_(std::make_shared<SimLauncher*>(this)) {}

SimLauncher::~SimLauncher() = default;

void SimLauncher::script(const std::string& application, SimLaunchScript script) {
  scripts_[application] = std::move(script);
}

void SimLauncher::clearLaunches() {
  launches_.clear();
  launchTimes_.clear();
}

bool SimLauncher::launch(const LaunchRequest& request) {
  const double now = dispatch::MainQueue::clock().now();
  launches_.push_back(request);
  launchTimes_.push_back(now);
  const auto it = scripts_.find(request.application);
  if (it == scripts_.end()) return false;
  const SimLaunchScript& script = it->second;
  if (!script.starts) return false;
  if (request.arguments.empty() && !request.newInstance && bringForward(request, script)) return true;

  if (holds_.isHeldBack(request, [this](pid_t pid) { return isRunning(pid); })) return true;
  holds_.started(request, 0);
  std::weak_ptr<SimLauncher*> weak = self_;
  dispatch::MainQueue::asyncAfter(script.startDelay, [weak, request] {
    if (auto self = weak.lock()) (*self)->start(request);
  });
  return true;
}

void SimLauncher::windowAppeared(const NSRunningApplication& application) {
  holds_.windowAppeared(application.processIdentifier, application.processIdentifier,
                        application.bundleIdentifier);
}

bool SimLauncher::markedProcessRuns(const std::string& mark, double since) const {
  for (const NSRunningApplication& app : applications_.runningApplications())
    if (const auto started = applications_.startTimeOf(app.processIdentifier);
        started && *started >= since && applications_.markOf(app.processIdentifier) == mark)
      return true;
  return false;
}

double SimLauncher::processClockNow() const { return dispatch::MainQueue::clock().now(); }

bool SimLauncher::bringForward(const LaunchRequest& request, const SimLaunchScript& script) {
  const std::vector<pid_t> running = runningPids(applications_, script.application.bundleIdentifier);
  if (running.empty()) return false;
  const auto free = freeWindow(applications_, running, request.passOver);
  // Running without a window to offer: started like one that does not run.
  if (!free) return false;
  std::weak_ptr<SimLauncher*> weak = self_;
  dispatch::MainQueue::asyncAfter(script.startDelay, [weak, window = *free] {
    if (auto self = weak.lock()) (*self)->applications_.focusWindow(window);
  });
  return true;
}

bool SimLauncher::isRunning(pid_t pid) const {
  if (pid == 0) return true;
  const auto apps = applications_.runningApplications();
  return std::any_of(apps.begin(), apps.end(),
                     [&](const NSRunningApplication& app) { return app.processIdentifier == pid; });
}

void SimLauncher::start(const LaunchRequest& request) {
  const auto it = scripts_.find(request.application);
  if (it == scripts_.end()) return;
  const SimLaunchScript& script = it->second;
  SimApplicationConfig config = script.application;
  config.windows.clear();
  if (!request.mark.empty()) config.mark = request.mark;
  const pid_t pid = applications_.launchApplication(config);
  holds_.startedAs(request, pid);
  if (!script.opensWindow) return;
  std::weak_ptr<SimLauncher*> weak = self_;
  dispatch::MainQueue::asyncAfter(script.windowDelay, [weak, pid, window = script.window] {
    auto self = weak.lock();
    if (!self) return;
    SimApplications& applications = (*self)->applications_;
    const AXUIElement element = applications.createWindow(pid, window);
    if (element.isWindow()) applications.focusWindow(element);
  });
}

}  // namespace tilvane::sim
