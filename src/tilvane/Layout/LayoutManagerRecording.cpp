// Remembering where windows are put: at once for the program's own placements, once each window's moves have
// been quiet for the user's moves, and a history record of each. Nothing here waits for another program's lock
// on the file: what cannot be written yet stays queued and is tried again.
#include <cmath>

#include "AppManager/Geometry/PlacedFrames.h"
#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Layout/StoreWrite.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WindowMovingModel.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
constexpr double kHistoryDelay = 0.5;
// History records kept in memory while the file is locked; the oldest go first.
constexpr std::size_t kBacklogLimit = 1000;

// Sets the record's place (extents as magnitudes) and where the window is now: its display and desktop.
void placeRecord(AutoLayoutModel& model, const RecordedPlace& place, const SIWindow& window,
                 const std::optional<NSScreen>& screen) {
  setRecordedPlace(model, place);
  model.setScreenIndex(ScreenManager::shared().screenIndex(screen));
  model.setSpaceIndex(ScreenManager::shared().spaceIndexOfWindow(window, screen));
}

// Whether placing the window by `place` now would leave it on `frame` (to within a rounding of the desktop's).
bool placesAt(const RecordedPlace& place, const CGRect& visible, const CGRect& frame) {
  return framesNear(insetByGap(askedFrame(place, visible), placementGap()), frame, 0.5);
}

double now() { return dispatch::MainQueue::clock().now(); }
}  // namespace

void LayoutManager::bind() {
  // Each entry keeps its own timers (see queueFrameUpdate), so one window's moves never put off another's.
  disposeBag_.insert(updateQueueRun_.asObservable().subscribe([this](rx::Unit) { scheduleFlush(); }));
}

void LayoutManager::scheduleFlush() {
  // Only the entries moved since the last call: every move of every window comes here, and the others' timers
  // stand as they were set.
  for (const std::string& id : std::exchange(movedEntries_, {})) {
    const auto found = updateQueue_.find(id);
    if (found == updateQueue_.end()) continue;
    const PendingUpdate& entry = found->second;
    auto& timers = entryTimers_[id];
    if (timers.quietFrom != entry.movedAt || !timers.quiet.isPending()) {
      timers.quietFrom = entry.movedAt;
      timers.quiet.schedule(kQuietPeriod, [this] { flushUpdateQueue(); });
    }
    if (!timers.longest.isPending()) timers.longest.schedule(kLongestWait, [this] { flushUpdateQueue(); });
  }
}

void LayoutManager::saveLayout(const SIWindow& window, const CGRect& r) { saveLayout(window, r, window.screen()); }

void LayoutManager::saveLayout(const SIWindow& window, const CGRect& r, const std::optional<NSScreen>& screen) {
  saveLayout(window, RecordedPlace{r, 0}, screen);
}

void LayoutManager::saveLayout(const SIWindow& window, const RecordedPlace& r, const std::optional<NSScreen>& screen) {
  if (heldUpSince_ < 0) commits_.join();
  for (const auto& item : itemsOf(window)) {
    const AutoLayoutModelPtr model = item->layoutModel();
    // Fractions that are not numbers would make the record useless; keep the last good ones.
    if (isWritable(model) && isFinite(r.fractions) && std::isfinite(r.gutter)) {
      // The placement is newer than any move still waiting for this record.
      updateQueue_.erase(model->id());
      entryTimers_.erase(model->id());
      const auto outcome = tryWriteTransaction([&](store::Database&) { placeRecord(*model, r, window, screen); });
      if (outcome == WriteOutcome::heldUp) {
        PendingUpdate& entry = updateQueue_[model->id()];
        entry = PendingUpdate{item, r, screen, true, false, now(), now()};
        writesHeldUp();
        retryLater();
      } else if (outcome == WriteOutcome::written) {
        writesGoOn();
      }
    }
    const auto task = std::make_shared<dispatch::TaskId>(0);
    *task = dispatch::MainQueue::asyncAfter(kHistoryDelay, [this, task] {
      const auto pending = pendingRecords_.find(*task);
      if (pending == pendingRecords_.end()) return;
      const PendingRecord record = std::move(pending->second);
      pendingRecords_.erase(pending);
      recordWindowMoving(record.item, record.window);
    });
    if (*task != 0) pendingRecords_.emplace(*task, PendingRecord{item, window});
  }
}

std::vector<LayoutManager::RecordState> LayoutManager::recordStates(const SIWindow& window) const {
  std::vector<RecordState> states;
  for (const auto& item : itemsOf(window))
    if (const AutoLayoutModelPtr model = item->layoutModel(); isWritable(model))
      states.push_back({model, recordedPlaceOf(*model), model->screenIndex(), model->spaceIndex()});
  return states;
}

void LayoutManager::withdrawPlacement(const std::vector<RecordState>& before, const RecordedPlace& placed) {
  for (const RecordState& state : before) {
    if (!isWritable(state.model) || recordedPlaceOf(*state.model) != placed) continue;
    // The user moved the window since, and the move waits to be written: it is kept.
    if (const auto queued = updateQueue_.find(state.model->id());
        queued != updateQueue_.end() && !queued->second.fromPlacement)
      continue;
    updateQueue_.erase(state.model->id());
    entryTimers_.erase(state.model->id());
    const auto outcome = tryWriteTransaction([&](store::Database&) {
      setRecordedPlace(*state.model, state.place);
      state.model->setScreenIndex(state.screenIndex);
      state.model->setSpaceIndex(state.spaceIndex);
    });
    if (outcome == WriteOutcome::heldUp) LogManager::warning("a withdrawn placement could not be written back");
  }
}

void LayoutManager::recordWindowMoving(const std::shared_ptr<LayoutItem>& item, const SIWindow& window) {
  if (!item) return;
  item->setLayouting(false);
  writeHistoryRecord(*item, window);
}

void LayoutManager::writeHistoryRecord(const LayoutItem& item, const SIWindow& window) {
  queueHistoryRecord(item, window);
  if (heldUpSince_ < 0) commits_.join();
  writeHistoryBacklog();
}

void LayoutManager::queueHistoryRecord(const LayoutItem& item, const SIWindow& window) {
  const AutoLayoutModelPtr model = item.layoutModel();
  if (!model) return;
  const auto screen = window.screen();
  if (!screen) return;
  ScreenManager& screens = ScreenManager::shared();
  const CGRect frame = askedFrame(recordedPlaceOf(*model), screen->visibleFrame);
  const auto displays = static_cast<std::int64_t>(NSScreen::screens().size());
  historyBacklog_.push_back(std::make_shared<WindowMovingModel>(
      screens.spaceIndexOfWindow(window, screen), model->bundleIdentifier(), std::max<std::int64_t>(displays, 1),
      screens.spaceCount(), frame.origin.x, frame.origin.y, frame.size.width, frame.size.height,
      WindowMovingModel::ScreenFrame{screen->frame.origin.x, screen->frame.origin.y, screen->frame.size.width,
                                     screen->frame.size.height}));
}

bool LayoutManager::writeHistoryBacklog() {
  if (historyBacklog_.empty()) return true;
  const auto outcome = tryWriteTransaction([&](store::Database& database) {
    for (const auto& record : historyBacklog_) StoreService::shared().addUpdating(database, record);
    database.removeOldest(WindowMovingModel::schema(), kHistoryLimit);
  });
  if (outcome == WriteOutcome::heldUp) {
    if (historyBacklog_.size() > kBacklogLimit)
      historyBacklog_.erase(historyBacklog_.begin(), historyBacklog_.end() - kBacklogLimit);
    writesHeldUp();
    retryLater();
    return false;
  }
  // Written, or refused for good (reported): either way these records are done with.
  historyBacklog_.clear();
  if (outcome == WriteOutcome::written) writesGoOn();
  return true;
}

std::optional<RecordedPlace> LayoutManager::takeLatestPlace(const LayoutItem& item) {
  const AutoLayoutModelPtr& model = item.layoutModel();
  if (!model || !updateQueue_.count(model->id())) return std::nullopt;
  // One write for every entry: the others are due soon anyway.
  flushUpdateQueue();
  const auto waiting = updateQueue_.find(model->id());
  if (waiting == updateQueue_.end()) return std::nullopt;
  // Locked out: the change still waits, now as the place the window is put by, which its echo must not drop.
  waiting->second.fromPlacement = true;
  return waiting->second.frame;
}

void LayoutManager::dropEcho(const LayoutItem& item) {
  const AutoLayoutModelPtr& model = item.layoutModel();
  if (!model) return;
  const auto queued = updateQueue_.find(model->id());
  // A placement held up by a lock is still to be written; a move queued on its way here is not.
  if (queued == updateQueue_.end() || queued->second.fromPlacement) return;
  if (queued->second.needsInsert) {
    // The record still has to be stored, as it stands.
    queued->second.frame = recordedPlaceOf(*model);
    queued->second.fromPlacement = true;
    return;
  }
  updateQueue_.erase(queued);
  entryTimers_.erase(model->id());
}

void LayoutManager::queueFrameUpdate(const SIWindow& window) {
  // Only the window's own items, looked up: every move of every window comes here.
  const auto items = itemsOf(window);
  if (items.empty()) return;
  // Every report counts for the placement's progress, also those of a window being laid out.
  const CGRect frame = window.frame();
  const bool echo = PlacedFrames::shared().isEcho(window, frame);
  for (const auto& item : items) {
    if (item->isLayouting()) return;
    const auto screen = window.screen();
    if (!screen) return;
    // The place a placement asks for to give the window this frame again: with gaps, more than the frame.
    const RecordedPlace fractions = recordedPlace(frame, screen->visibleFrame);
    const int space = ScreenManager::shared().spaceIndexOfWindow(window, screen);
    const int display = ScreenManager::shared().screenIndex(screen);
    const AutoLayoutModelPtr model = item->layoutModel();
    if (!model) continue;
    // The window stands where the program last put it (this report is that placement's own echo), or where its
    // record puts it (with the gap in force now, which may not be the one it was recorded with): nothing to
    // record unless it went to another desktop or display meanwhile.
    const RecordedPlace recorded = recordedPlaceOf(*model);
    if ((echo || fractions == recorded || placesAt(recorded, screen->visibleFrame, frame)) &&
        model->spaceIndex() == space &&
        model->screenIndex() == display) {
      dropEcho(*item);
      return;
    }
    PendingUpdate& entry = updateQueue_[model->id()];
    const double at = now();
    if (!entry.layoutItem) entry.queuedAt = at;
    // On another desktop at the place the program gave it: the place its record (or the queue) holds stays.
    const RecordedPlace place = !echo ? fractions : entry.layoutItem ? entry.frame : recorded;
    entry.layoutItem = item;
    entry.frame = place;
    entry.screen.reset();
    entry.fromPlacement = false;
    entry.movedAt = at;
    movedEntries_.push_back(model->id());
    updateQueueRun_.onNext();
  }
}

void LayoutManager::queueInsert(const std::shared_ptr<LayoutItem>& item) {
  const AutoLayoutModelPtr& model = item->layoutModel();
  if (!model || model->isManaged()) return;
  PendingUpdate& entry = updateQueue_[model->id()];
  if (!entry.layoutItem) entry = PendingUpdate{item, recordedPlaceOf(*model), std::nullopt, true, true, now(), now()};
  entry.needsInsert = true;
  retryLater();
}

void LayoutManager::flushUpdateQueue() {
  flushTimer_.cancel();
  if (updateQueue_.empty()) {
    writeHistoryBacklog();
    return;
  }
  // While another program holds the lock one attempt a retry is enough: no shared commit is tried too.
  if (heldUpSince_ < 0) commits_.join();
  const auto outcome = tryWriteTransaction([&](store::Database& database) {
    for (const auto& [id, entry] : updateQueue_) {
      const AutoLayoutModelPtr model = entry.layoutItem->layoutModel();
      if (!isWritable(model)) continue;
      const SIWindow& window = entry.layoutItem->window();
      placeRecord(*model, entry.frame, window, entry.screen ? entry.screen : window.screen());
      // Stored unless a record of that id was meanwhile, as a first save would.
      if (entry.needsInsert && !model->isManaged()) database.addNew(model);
    }
  });
  if (outcome == WriteOutcome::heldUp) {
    // Kept, merged with later moves, and tried again: the lock is another program's and passes.
    entryTimers_.clear();
    writesHeldUp();
    retryLater();
    return;
  }
  const auto entries = std::exchange(updateQueue_, {});
  entryTimers_.clear();
  movedEntries_.clear();
  if (outcome != WriteOutcome::written) return;
  writesGoOn();
  // A placement that waited for the lock has its history record from saveLayout already. One write for all,
  // with the records held back while the file was locked: each write also trims the history.
  for (const auto& [id, entry] : entries)
    if (!entry.fromPlacement) queueHistoryRecord(*entry.layoutItem, entry.layoutItem->window());
  writeHistoryBacklog();
}

void LayoutManager::retryLater() {
  if (!flushTimer_.isPending()) flushTimer_.schedule(kRetryInterval, [this] { flushUpdateQueue(); });
}

void LayoutManager::writesHeldUp() {
  const double at = now();
  if (heldUpSince_ < 0) heldUpSince_ = at;
  if (heldUpTold_ || at - heldUpSince_ < kPauseNotice) return;
  heldUpTold_ = true;
  StoreService::shared().tellUser(
      true,
      "Tilvane cannot save window positions for now: another program keeps its database " +
          StoreService::quotedFileName() + " locked. Moves are kept and saved as soon as it lets go.",
      "Tilvane cannot save window positions for now: its database is locked");
}

void LayoutManager::writesGoOn() {
  if (heldUpSince_ < 0) return;
  heldUpSince_ = -1;
  if (!std::exchange(heldUpTold_, false)) return;
  StoreService::shared().tellUser(false,
                                  "Tilvane saves window positions again: its database " +
                                      StoreService::quotedFileName() + " is no longer locked.",
                                  "Tilvane saves window positions again");
}

void LayoutManager::flushPendingUpdates() {
  storeNewRecords();
  // The history of saved placements first: those placements came before any move still queued.
  auto pending = std::exchange(pendingRecords_, {});
  for (auto& [task, record] : pending) {
    dispatch::MainQueue::cancel(task);
    recordWindowMoving(record.item, record.window);
  }
  flushUpdateQueue();
  commits_.commit();
  if (!updateQueue_.empty())
    LogManager::warning("Tilvane could not save " + std::to_string(updateQueue_.size()) +
                        " window positions before quitting: another program keeps its database " +
                        StoreService::quotedFileName() + " locked.");
}

}  // namespace tilvane
