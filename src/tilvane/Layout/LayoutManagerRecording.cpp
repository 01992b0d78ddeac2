// Remembering where windows are put: at once for the program's own placements, after 2.0 s of quiet for the
// user's moves, and a history record of each.
#include <cmath>

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
constexpr double kQuietPeriod = 2.0;
constexpr double kHistoryDelay = 0.5;

// Sets the record's fractions (extents as magnitudes) and where the window is now.
void placeRecord(AutoLayoutModel& model, const CGRect& r, const std::optional<NSScreen>& screen) {
  model.setX(r.origin.x);
  model.setY(r.origin.y);
  model.setWidth(std::fabs(r.size.width));
  model.setHeight(std::fabs(r.size.height));
  model.setScreenIndex(ScreenManager::shared().screenIndex(screen));
  model.setSpaceIndex(ScreenManager::shared().currentSpaceIndex(screen));
}

CGRect fractionsOf(const AutoLayoutModel& model) {
  return CGRectMake(model.x(), model.y(), model.width(), model.height());
}
}  // namespace

void LayoutManager::bind() {
  disposeBag_.insert(updateQueueRun_.asObservable().debounce(kQuietPeriod).subscribe([this](rx::Unit) {
    flushUpdateQueue();
  }));
}

void LayoutManager::saveLayout(const SIWindow& window, const CGRect& r) { saveLayout(window, r, window.screen()); }

void LayoutManager::saveLayout(const SIWindow& window, const CGRect& r, const std::optional<NSScreen>& screen) {
  commits_.join();
  const auto items = layoutItems_;
  for (const auto& item : items) {
    if (item->window() != window) continue;
    item->setLayouting(true);
    const AutoLayoutModelPtr model = item->layoutModel();
    // Fractions that are not numbers would make the record useless; keep the last good ones.
    if (isWritable(model) && isFinite(r)) writeTransaction([&] { placeRecord(*model, r, screen); });
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

void LayoutManager::recordWindowMoving(const std::shared_ptr<LayoutItem>& item, const SIWindow& window) {
  if (!item) return;
  item->setLayouting(false);
  writeHistoryRecord(*item, window);
}

void LayoutManager::writeHistoryRecord(const LayoutItem& item, const SIWindow& window) {
  const AutoLayoutModelPtr model = item.layoutModel();
  if (!model) return;
  const auto screen = window.screen();
  if (!screen) return;
  ScreenManager& screens = ScreenManager::shared();
  const CGRect frame = TransformUtils::convert(fractionsOf(*model), screen->visibleFrame);
  const auto displays = static_cast<std::int64_t>(NSScreen::screens().size());
  auto record = std::make_shared<WindowMovingModel>(
      screens.currentSpaceIndex(screen), model->bundleIdentifier(), std::max<std::int64_t>(displays, 1),
      screens.spaceCount(), frame.origin.x, frame.origin.y, frame.size.width, frame.size.height,
      WindowMovingModel::ScreenFrame{screen->frame.origin.x, screen->frame.origin.y, screen->frame.size.width,
                                     screen->frame.size.height});
  const auto database = StoreService::shared().database();
  if (!database) return;
  commits_.join();
  try {
    database->write([&] { StoreService::shared().addUpdating(*database, record); });
  } catch (const store::Error& error) {
    StoreService::shared().reportFailure(error);
  }
}

void LayoutManager::queueFrameUpdate(const SIWindow& window) {
  // Held apart from the list, which may change meanwhile; only the window's own items, since every move of
  // every window comes here.
  std::vector<std::shared_ptr<LayoutItem>> items;
  for (const auto& item : layoutItems_)
    if (item->window() == window) items.push_back(item);
  for (const auto& item : items) {
    if (item->isLayouting()) return;
    const auto screen = window.screen();
    if (!screen) return;
    const CGRect fractions = TransformUtils::ratio(window.frame(), screen->visibleFrame);
    const int space = ScreenManager::shared().currentSpaceIndex(screen);
    const int display = ScreenManager::shared().screenIndex(screen);
    const AutoLayoutModelPtr model = item->layoutModel();
    if (!model) continue;
    if (fractions == fractionsOf(*model) && model->spaceIndex() == space && model->screenIndex() == display) return;
    updateQueue_[model->id()] = PendingUpdate{item, fractions};
    updateQueueRun_.onNext();
  }
}

void LayoutManager::flushUpdateQueue() {
  if (updateQueue_.empty()) return;
  // Taken out first, so a change queued while the records are written waits for the next flush.
  const auto entries = std::exchange(updateQueue_, {});
  commits_.join();
  writeTransaction([&] {
    for (const auto& [id, entry] : entries) {
      const AutoLayoutModelPtr model = entry.layoutItem->layoutModel();
      if (isWritable(model)) placeRecord(*model, entry.frame, entry.layoutItem->window().screen());
    }
  });
  for (const auto& [id, entry] : entries) writeHistoryRecord(*entry.layoutItem, entry.layoutItem->window());
}

void LayoutManager::flushPendingUpdates() {
  // The history of saved placements first: those placements came before any move still queued.
  auto pending = std::exchange(pendingRecords_, {});
  for (auto& [task, record] : pending) {
    dispatch::MainQueue::cancel(task);
    recordWindowMoving(record.item, record.window);
  }
  flushUpdateQueue();
  commits_.commit();
}

}  // namespace tilvane
