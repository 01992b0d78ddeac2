#include "Layout/LayoutManager.h"

#include <algorithm>

#include "AppManager/Geometry/PlacedFrames.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/LayoutableWindow.h"
#include "Layout/WindowIndex/WindowIndexRegistry.h"
#include "Models/AutoLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
LayoutManager& LayoutManager::shared() { return SharedInstance<LayoutManager>::get(); }

LayoutManager::LayoutManager() {
  layoutOperationQueue_.setMaxConcurrentOperationCount(1);
  workspaceOperationQueue_.setMaxConcurrentOperationCount(1);
}

LayoutManager::~LayoutManager() {
  for (const auto& [task, record] : pendingRecords_) dispatch::MainQueue::cancel(task);
}

void LayoutManager::removeAllLayoutItems() {
  for (const auto& item : layoutItems_) item->releaseWindowIndexClaim();
  layoutItems_.clear();
  itemsByWindow_.clear();
}

std::vector<std::shared_ptr<LayoutItem>> LayoutManager::itemsOf(const SIWindow& window) const {
  const auto found = itemsByWindow_.find(window.axElement());
  return found == itemsByWindow_.end() ? std::vector<std::shared_ptr<LayoutItem>>{} : found->second;
}

void LayoutManager::setup() {
  for (const RuleLayoutModelPtr& rule : StoreService::shared().rules())
    if (rule) rules_[rule->id()] = rule;
}

void LayoutManager::addWindow(const SIWindow& window) {
  const auto bundle = bundleIdentifierOfWindow(window);
  if (isLayoutableWindow(window, bundle, window.title())) addLayoutableWindow(window, *bundle);
}

void LayoutManager::addLayoutableWindow(const SIWindow& window, const std::string& bundleIdentifier) {
  commits_.join();
  auto item = std::make_shared<LayoutItem>(window);
  if (AutoLayoutModelPtr model = StoreService::shared().autoLayoutModelForWindow(window, bundleIdentifier)) {
    item->setLayoutModel(model);
    // The record is one of the window's application: its bundle identifier needs no asking again.
    item->holdWindowIndexClaim(
        WindowIndexRegistry::claimWindowIndex(model->bundleIdentifier(), model->windowIndex()));
    item->updateModelPosition();
  }
  layoutItems_.push_back(item);
  itemsByWindow_[window.axElement()].push_back(item);
  if (UserDefaultsService::autoLayoutEnabled() == 1)
    layout(item);
  else if (item->layoutModel() && !item->layoutModel()->isManaged())
    storeSoon(item);  // nothing moves the window, but the user's moves of it are remembered all the same
  windowAdmitted_.onNext(window);
}

void LayoutManager::removeWindow(const SIWindow& window) {
  PlacedFrames::shared().forget(window);
  itemsByWindow_.erase(window.axElement());
  std::erase_if(layoutItems_, [&](const std::shared_ptr<LayoutItem>& item) {
    if (item->window() != window) return false;
    // The window stops being managed now, whoever still holds the item.
    item->releaseWindowIndexClaim();
    return true;
  });
  windowRemoved_.onNext(window);
}

void LayoutManager::layout(const std::shared_ptr<LayoutItem>& item) {
  if (!item) return;
  commits_.join();
  if (workspaceRunning_) {
    // Nothing moves the window now (the restore places it itself): whatever it reports is its own.
    if (item->layoutModel()) StoreService::shared().updateLayout(item->layoutModel());
    item->setLayouting(false);
    return;
  }
  // Reports while the operation waits in the queue show where the window was, not where it is going. Once it
  // has run, its placement's reports are told by frame: a user's move right after it is the user's, not an
  // echo to hide for a while. The operation's move is a main-loop task queued as it ends, so a task queued from
  // its completion comes after the move.
  item->setLayouting(true);
  auto operation = item->makeLayoutOperation(takeLatestPlace(*item));
  std::weak_ptr<LayoutItem> weak = item;
  operation->completionBlock = [weak] {
    dispatch::MainQueue::async([weak] {
      if (const auto held = weak.lock()) held->setLayouting(false);
    });
  };
  layoutOperationQueue_.addOperation(operation);
  if (const AutoLayoutModelPtr& model = item->layoutModel(); model && !model->isManaged()) storeSoon(item);
}

void LayoutManager::storeSoon(const std::shared_ptr<LayoutItem>& item) {
  // Windows are admitted by the dozen (an application starting, the program starting): one write for all the
  // turn's new records, where one each would copy the pages it touches every time.
  StoreService::shared().expectLayout(item->layoutModel());
  newRecords_.emplace_back(item, item->layoutModel());
  if (!newRecordsTimer_.isPending()) newRecordsTimer_.schedule(0, [this] { storeNewRecords(); });
}

void LayoutManager::storeNewRecords() {
  newRecordsTimer_.cancel();
  const auto records = std::exchange(newRecords_, {});
  if (records.empty()) return;
  commits_.join();
  std::vector<AutoLayoutModelPtr> models;
  models.reserve(records.size());
  for (const auto& [item, model] : records) models.push_back(model);
  StoreService::shared().updateLayouts(models);
  // Not stored while the file is writable: another program held its lock; stored with the next write instead.
  const auto database = StoreService::shared().database();
  if (!database || database->isReadOnly()) return;
  for (const auto& [item, model] : records)
    if (item->layoutModel() == model && !model->isManaged()) queueInsert(item);
}

void LayoutManager::layoutAll() {
  const auto items = layoutItems_;
  for (const auto& item : items) layout(item);
}

std::optional<RecordedPlace> LayoutManager::savedFrame(const SIWindow& window) {
  const auto found = itemsByWindow_.find(window.axElement());
  if (found == itemsByWindow_.end() || found->second.empty() || !found->second.front()->layoutModel())
    return std::nullopt;
  if (const auto waiting = takeLatestPlace(*found->second.front())) return waiting;
  return recordedPlaceOf(*found->second.front()->layoutModel());
}

}  // namespace tilvane
