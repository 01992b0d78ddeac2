#include "WorkspaceLayout/Restore/ItemLaunches.h"

#include <algorithm>
#include <charconv>

#include "AppManager/Logging/LogManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/Launcher.h"

namespace tilvane {
namespace {

/// Ancestors looked at: a process tree is never that deep.
constexpr int kMaxGenerations = 64;

}  // namespace

std::optional<std::string> launchProcessOf(pid_t pid) {
  const auto started = processStartTime(pid);
  if (!started) return std::nullopt;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, *started).ptr;
  return std::to_string(pid) + " " + std::string(text, end);
}

ItemLaunches& ItemLaunches::shared() { return SharedInstance<ItemLaunches>::get(); }

ItemLaunches::ItemLaunches() {
  LayoutManager& layout = LayoutManager::shared();
  layout.windowAdmitted().subscribe([this](const SIWindow& window) { windowShown(window); }).disposed(subscriptions_);
  layout.windowRemoved().subscribe([this](const SIWindow& window) { windowGone(window); }).disposed(subscriptions_);
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

void ItemLaunches::hold(const std::string& mark, const SIWindow& window, Place place, Keep keep) {
  const pid_t pid = window.processIdentifier();
  const auto process = launchProcessOf(pid);
  const auto started = processStartTime(pid);
  if (mark.empty() || !process || !started) return;
  held_.insert_or_assign(mark, Held{window, pid, *process, *started, false, std::nullopt, std::move(place),
                                    std::move(keep)});
}

void ItemLaunches::placed(const std::string& mark, RecordedPlacement placement) {
  if (LayoutManager::shared().workspaceRunning()) placedInRestore_.push_back(placement);
  if (const auto found = held_.find(mark); found != held_.end() && found->second.window == placement.window)
    found->second.placement = std::move(placement);
}

void ItemLaunches::await(const std::string& mark, double since, Keep keep) {
  if (!mark.empty()) awaited_[mark] = {since, std::move(keep)};
}

std::optional<double> ItemLaunches::awaitedSince(const std::string& mark) const {
  const auto found = awaited_.find(mark);
  if (found == awaited_.end()) return std::nullopt;
  return found->second.since;
}

void ItemLaunches::windowGone(const SIWindow& window) {
  // Placed and gone again while the restore still runs: it was never where the user wanted that window.
  if (LayoutManager::shared().workspaceRunning())
    for (const RecordedPlacement& placement : placedInRestore_)
      if (placement.window == window) LayoutManager::shared().withdrawPlacement(placement.before, placement.placed);
  std::erase_if(placedInRestore_, [&](const RecordedPlacement& placement) { return placement.window == window; });
  for (auto& [mark, held] : held_)
    if (held.window == window) held.closed = true;
}

bool ItemLaunches::nextOfLaunch(const Held& held, pid_t pid, const std::string& mark) {
  // The passing window's process has ended (a zombie carries no mark any more).
  if (launchProcessOf(held.pid) == held.process && launchMarkOf(held.pid) == mark) return false;
  for (int generation = 0; generation < kMaxGenerations && pid > 1; ++generation) {
    if (launchMarkOf(pid) != mark) return false;
    const auto started = processStartTime(pid);
    if (!started) return false;
    if (pid == held.pid && *started == held.started) return false;
    if (*started <= held.started) return true;
    const auto parent = parentProcessOf(pid);
    if (!parent) return false;
    pid = *parent;
  }
  return false;
}

void ItemLaunches::windowShown(const SIWindow& window) {
  const bool passed = std::any_of(held_.begin(), held_.end(), [](const auto& entry) { return entry.second.closed; });
  if (awaited_.empty() && !passed) return;
  const pid_t pid = window.processIdentifier();
  const auto mark = launchMarkOf(pid);
  if (!mark) return;
  if (const auto held = held_.find(*mark);
      held != held_.end() && held->second.closed && nextOfLaunch(held->second, pid, *mark))
    return handOn(held->second, window, *mark);
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

void ItemLaunches::handOn(Held& held, const SIWindow& window, const std::string& mark) {
  const auto process = launchProcessOf(window.processIdentifier());
  const auto started = processStartTime(window.processIdentifier());
  if (!process || !started) return;
  if (held.placement) LayoutManager::shared().withdrawPlacement(held.placement->before, held.placement->placed);
  LogManager::debug("a workspace item's window passed; the next window of its launch is the item's");
  processes_[mark] = *process;
  awaited_.erase(mark);
  if (held.keep) held.keep(*process);
  held.window = window;
  held.pid = window.processIdentifier();
  held.process = *process;
  held.started = *started;
  held.closed = false;
  held.placement.reset();
  // Copied: placing may hold the window anew, which replaces this entry.
  if (const Place place = held.place) place(window);
}

}  // namespace tilvane
