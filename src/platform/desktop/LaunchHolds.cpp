#include "platform/desktop/LaunchHolds.h"

#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {

/// A process that shows nothing this long is taken for one that never will: the request may start another.
constexpr double kStartingTime = 10.0;

/// The same request: the target, the application, the arguments and the mark.
std::string keyOf(const LaunchRequest& request) {
  std::string key = (request.target == LaunchTarget::path ? "path:" : "id:") + request.application;
  for (const std::string& argument : request.arguments) key.append(1, '\0').append(argument);
  // Arguments never hold a second NUL in a row: the mark cannot pass for one.
  return key.append(2, '\0').append(request.mark);
}

double now() { return dispatch::MainQueue::clock().now(); }

}  // namespace

void LaunchHolds::started(const LaunchRequest& request, pid_t pid) {
  Hold hold{pid, now(), std::nullopt, false, false};
  if (request.target == LaunchTarget::bundleIdentifier) hold.bundleIdentifier = request.application;
  holds_[keyOf(request)] = std::move(hold);
}

void LaunchHolds::startedAs(const LaunchRequest& request, pid_t pid) {
  if (const auto it = holds_.find(keyOf(request)); it != holds_.end() && it->second.pid == 0) it->second.pid = pid;
}

void LaunchHolds::windowAppeared(pid_t pid, pid_t session, const std::optional<std::string>& bundleIdentifier) {
  for (auto& [key, hold] : holds_) {
    const bool ofProcess = hold.pid > 0 && (pid == hold.pid || session == hold.pid);
    if (ofProcess || (hold.bundleIdentifier && hold.bundleIdentifier == bundleIdentifier))
      hold.windowAppeared = true;
  }
}

bool LaunchHolds::isHeldBack(const LaunchRequest& request, const std::function<bool(pid_t)>& starting) const {
  const auto it = holds_.find(keyOf(request));
  if (it == holds_.end()) return false;
  const Hold& hold = it->second;
  return !hold.windowAppeared && now() - hold.time < kStartingTime && starting(hold.pid);
}

std::optional<pid_t> LaunchHolds::startedProcess(const LaunchRequest& request) const {
  const auto it = holds_.find(keyOf(request));
  if (it == holds_.end() || it->second.pid <= 0) return std::nullopt;
  return it->second.pid;
}

void LaunchHolds::ended(pid_t pid, bool withError) {
  for (auto& [key, hold] : holds_)
    if (hold.pid == pid && pid > 0) hold.failed = withError;
}

bool LaunchHolds::endedWithError(const LaunchRequest& request) const {
  const auto it = holds_.find(keyOf(request));
  return it != holds_.end() && it->second.failed;
}

}  // namespace tilvane
