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
  scripts_[application] = Scripted{std::move(script), false};
}

void SimLauncher::clearLaunches() {
  launches_.clear();
  launchTimes_.clear();
}

bool SimLauncher::launch(const LaunchRequest& request) {
  launches_.push_back(request);
  launchTimes_.push_back(dispatch::MainQueue::clock().now());
  const auto it = scripts_.find(request.application);
  if (it == scripts_.end()) return false;
  Scripted& scripted = it->second;
  if (!scripted.script.starts || scripted.starting) return true;

  std::weak_ptr<SimLauncher*> weak = self_;
  const std::vector<pid_t> running = runningPids(applications_, scripted.script.application.bundleIdentifier);
  const auto free = request.newInstance ? std::nullopt : freeWindow(applications_, running, request.passOver);
  // Running, with every window passed over: another instance, as one asked for.
  if (request.newInstance || (!free && !running.empty() && !request.passOver.empty())) {
    if (scripted.instanceStarting) return true;
    scripted.instanceStarting = true;
    dispatch::MainQueue::asyncAfter(scripted.script.startDelay, [weak, application = request.application] {
      if (auto self = weak.lock()) (*self)->start(application, true);
    });
    return true;
  }
  if (free || !running.empty()) {
    dispatch::MainQueue::asyncAfter(scripted.script.startDelay, [weak, window = free] {
      if (auto self = weak.lock())
        if (window) (*self)->applications_.focusWindow(*window);
    });
    return true;
  }
  scripted.starting = true;
  dispatch::MainQueue::asyncAfter(scripted.script.startDelay, [weak, application = request.application] {
    if (auto self = weak.lock()) (*self)->start(application, false);
  });
  return true;
}

void SimLauncher::start(const std::string& application, bool newInstance) {
  const auto it = scripts_.find(application);
  if (it == scripts_.end()) return;
  if (!newInstance) it->second.starting = false;
  const SimLaunchScript& script = it->second.script;
  SimApplicationConfig config = script.application;
  config.windows.clear();
  const pid_t pid = applications_.launchApplication(config);
  if (!script.opensWindow) {
    if (newInstance) it->second.instanceStarting = false;
    return;
  }
  std::weak_ptr<SimLauncher*> weak = self_;
  dispatch::MainQueue::asyncAfter(script.windowDelay, [weak, pid, window = script.window, application, newInstance] {
    auto self = weak.lock();
    if (!self) return;
    SimApplications& applications = (*self)->applications_;
    const AXUIElement element = applications.createWindow(pid, window);
    if (element.isWindow()) applications.focusWindow(element);
    if (!newInstance) return;
    const auto scripted = (*self)->scripts_.find(application);
    if (scripted != (*self)->scripts_.end()) scripted->second.instanceStarting = false;
  });
}

}  // namespace tilvane::sim
