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
/// How long after a passing window closed its process may still end and hand over, and how often it is looked at.
constexpr double kEndWait = 5.0;
constexpr double kEndPoll = 0.25;

}  // namespace

std::optional<std::string> launchProcessOf(pid_t pid) {
  const auto started = processStartTime(pid);
  if (!started) return std::nullopt;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, *started).ptr;
  return std::to_string(pid) + " " + std::string(text, end);
}

void RecordedPlacement::mergeEarlier(const RecordedPlacement& earlier) {
  if (earlier.window != window) return;
  for (LayoutManager::RecordState& state : before) {
    // Only a record still at the earlier placement: one the user moved since keeps the move.
    if (state.place != earlier.placed) continue;
    for (const LayoutManager::RecordState& first : earlier.before)
      if (first.model == state.model) state = first;
  }
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
  Held held{.window = window,
            .pid = pid,
            .process = *process,
            .started = *started,
            .place = std::move(place),
            .keep = std::move(keep)};
  if (const auto session = processSessionOf(pid); session && *session != pid) held.session = session;
  // Taken again by a later restore: its placements still withdraw to what came before the first.
  if (const auto found = held_.find(mark);
      found != held_.end() && found->second.window == window && found->second.process == *process) {
    held.handedOn = found->second.handedOn;
    held.placement = std::move(found->second.placement);
  }
  held_.insert_or_assign(mark, std::move(held));
}

void ItemLaunches::placed(const std::string& mark, RecordedPlacement placement) {
  const auto earlier = std::find_if(placedInRestore_.begin(), placedInRestore_.end(),
                                    [&](const RecordedPlacement& p) { return p.window == placement.window; });
  if (earlier != placedInRestore_.end()) placement.mergeEarlier(*earlier);
  const auto held = held_.find(mark);
  const bool ofHeld = held != held_.end() && held->second.window == placement.window;
  if (ofHeld && held->second.placement) placement.mergeEarlier(*held->second.placement);
  if (earlier != placedInRestore_.end()) placedInRestore_.erase(earlier);
  if (LayoutManager::shared().workspaceRunning()) placedInRestore_.push_back(placement);
  if (ofHeld) held->second.placement = std::move(placement);
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
  std::vector<std::string> passing;
  for (auto& [mark, held] : held_)
    if (held.window == window && !held.closed) {
      held.closed = true;
      held.closedAt = dispatch::MainQueue::clock().now();
      if (passed(held)) passing.push_back(mark);
    }
  for (const std::string& mark : passing) lookForNext(mark);
}

bool ItemLaunches::stillRuns(const Held& held, const std::string& mark) {
  // A zombie carries no mark any more.
  return launchProcessOf(held.pid) == held.process && launchMarkOf(held.pid) == mark;
}

void ItemLaunches::lookForNext(const std::string& mark) {
  const auto found = held_.find(mark);
  if (found == held_.end() || !passed(found->second)) return;
  Held& held = found->second;
  if (stillRuns(held, mark)) return lookAgainLater();
  for (const auto& item : LayoutManager::shared().layoutItems()) {
    const SIWindow window = item->window();
    const pid_t pid = window.processIdentifier();
    if (window != held.window && !processStartedBefore(pid, held.started) && nextOfLaunch(held, pid, mark))
      return handOn(held, window, mark);
  }
}

void ItemLaunches::lookAgainLater() {
  if (lookAgain_.isPending()) return;
  lookAgain_.schedule(kEndPoll, [this] {
    const double now = dispatch::MainQueue::clock().now();
    std::vector<std::string> marks;
    for (const auto& [mark, held] : held_)
      if (passed(held) && now - held.closedAt < kEndWait) marks.push_back(mark);
    for (const std::string& mark : marks) lookForNext(mark);
  });
}

bool ItemLaunches::nextOfLaunch(const Held& held, pid_t pid, const std::string& mark) {
  if (stillRuns(held, mark)) return false;
  for (int generation = 0; generation < kMaxGenerations && pid > 1; ++generation) {
    if (launchMarkOf(pid) != mark) return false;
    const auto started = processStartTime(pid);
    if (!started) return false;
    if (pid == held.pid && *started == held.started) return false;
    if (*started <= held.started) return true;
    const auto parent = parentProcessOf(pid);
    if (!parent || *parent <= 1 || launchMarkOf(*parent) != mark) {
      // Its parent gone (a script that left it in the background and ended): of the launch when it stayed in the
      // launch's session or left for one of its own; a terminal's shell and its jobs are in another.
      const auto session = processSessionOf(pid);
      return session && (*session == *held.session || *session == pid);
    }
    pid = *parent;
  }
  return false;
}

void ItemLaunches::windowShown(const SIWindow& window) {
  const bool anyPassed =
      std::any_of(held_.begin(), held_.end(), [](const auto& entry) { return passed(entry.second); });
  if (awaited_.empty() && !anyPassed) return;
  const pid_t pid = window.processIdentifier();
  const auto mark = launchMarkOf(pid);
  if (!mark) return;
  if (const auto held = held_.find(*mark);
      held != held_.end() && passed(held->second) && nextOfLaunch(held->second, pid, *mark))
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
  held.handedOn = true;
  held.placement.reset();
  // Copied: placing may hold the window anew, which replaces this entry.
  if (const Place place = held.place) place(window);
}

}  // namespace tilvane
