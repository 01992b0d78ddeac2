#include "WorkspaceLayout/Restore/ItemLaunches.h"

#include <charconv>

#include "AppManager/Logging/LogManager.h"
#include "Layout/LayoutManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/Launcher.h"

namespace tilvane {

std::optional<std::string> launchProcessOf(pid_t pid) {
  const auto started = processStartTime(pid);
  if (!started) return std::nullopt;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, *started).ptr;
  return std::to_string(pid) + " " + std::string(text, end);
}

ItemLaunches& ItemLaunches::shared() { return SharedInstance<ItemLaunches>::get(); }

ItemLaunches::ItemLaunches() {
  LayoutManager::shared()
      .windowAdmitted()
      .subscribe([this](const SIWindow& window) { windowShown(window); })
      .disposed(subscriptions_);
}

ItemLaunches::~ItemLaunches() = default;

std::optional<std::string> ItemLaunches::process(const std::string& mark) const {
  const auto found = processes_.find(mark);
  if (found == processes_.end()) return std::nullopt;
  return found->second;
}

void ItemLaunches::took(const std::string& mark, const std::string& process) {
  if (mark.empty()) return;
  if (!process.empty()) processes_[mark] = process;
  awaited_.erase(mark);
}

void ItemLaunches::await(const std::string& mark, double since, Keep keep) {
  if (!mark.empty()) awaited_[mark] = {since, std::move(keep)};
}

std::optional<double> ItemLaunches::awaitedSince(const std::string& mark) const {
  const auto found = awaited_.find(mark);
  if (found == awaited_.end()) return std::nullopt;
  return found->second.since;
}

void ItemLaunches::windowShown(const SIWindow& window) {
  if (awaited_.empty()) return;
  const pid_t pid = window.processIdentifier();
  const auto mark = launchMarkOf(pid);
  if (!mark) return;
  const auto found = awaited_.find(*mark);
  // A process started before the launch (the item's earlier window, whatever was started from it) is not of it.
  if (found == awaited_.end() || processStartedBefore(pid, found->second.since)) return;
  const auto process = launchProcessOf(pid);
  if (!process) return;
  const Keep keep = std::move(found->second.keep);
  awaited_.erase(found);
  processes_[*mark] = *process;
  LogManager::debug("a workspace item's window showed after its restore gave it up; kept as the item's");
  if (keep) keep(*process);
}

}  // namespace tilvane
