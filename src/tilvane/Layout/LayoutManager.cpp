#include "Layout/LayoutManager.h"

#include <algorithm>

#include "AppManager/Geometry/PlacedFrames.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/LayoutableWindow.h"
#include "Models/AutoLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
constexpr double kLayoutingHold = 2.5;
}  // namespace

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
}

void LayoutManager::setup() {
  for (const RuleLayoutModelPtr& rule : StoreService::shared().rules())
    if (rule) rules_[rule->id()] = rule;
}

void LayoutManager::addWindow(const SIWindow& window) {
  if (!isLayoutableWindow(window)) return;
  commits_.join();
  auto item = std::make_shared<LayoutItem>(window);
  if (AutoLayoutModelPtr model = StoreService::shared().autoLayoutModelForWindow(window)) {
    item->setLayoutModel(model);
    item->holdWindowIndexClaim(LayoutItem::claimWindowIndex(window, model->windowIndex()));
    item->updateModelPosition();
  }
  layoutItems_.push_back(item);
  if (UserDefaultsService::autoLayoutEnabled() == 1) layout(item);
}

void LayoutManager::removeWindow(const SIWindow& window) {
  PlacedFrames::shared().forget(window);
  std::erase_if(layoutItems_, [&](const std::shared_ptr<LayoutItem>& item) {
    if (item->window() != window) return false;
    // The window stops being managed now, whoever still holds the item.
    item->releaseWindowIndexClaim();
    return true;
  });
}

void LayoutManager::layout(const std::shared_ptr<LayoutItem>& item) {
  if (!item) return;
  commits_.join();
  item->setLayouting(true);
  if (workspaceRunning_) {
    if (item->layoutModel()) StoreService::shared().updateLayout(item->layoutModel());
    // Nothing moves the window now, so nothing else would ever let its moves be recorded again.
    clearLayoutingLater(item);
    return;
  }
  auto operation = item->makeLayoutOperation();
  std::weak_ptr<LayoutItem> weak = item;
  operation->completionBlock = [this, weak] {
    if (auto held = weak.lock()) clearLayoutingLater(held);
  };
  layoutOperationQueue_.addOperation(operation);
  if (item->layoutModel()) StoreService::shared().updateLayout(item->layoutModel());
  // Not stored while the file is writable: another program held its lock; stored with the next write instead.
  if (item->layoutModel() && !item->layoutModel()->isManaged()) {
    const auto database = StoreService::shared().database();
    if (database && !database->isReadOnly()) queueInsert(item);
  }
}

void LayoutManager::layoutAll() {
  const auto items = layoutItems_;
  for (const auto& item : items) layout(item);
}

std::optional<CGRect> LayoutManager::savedFrame(const SIWindow& window) const {
  const auto it = std::find_if(layoutItems_.begin(), layoutItems_.end(),
                               [&](const std::shared_ptr<LayoutItem>& item) { return item->window() == window; });
  if (it == layoutItems_.end() || !(*it)->layoutModel()) return std::nullopt;
  const AutoLayoutModel& model = *(*it)->layoutModel();
  return CGRectMake(model.x(), model.y(), model.width(), model.height());
}

void LayoutManager::clearLayoutingLater(const std::shared_ptr<LayoutItem>& item) {
  // A weak hold: an item dropped meanwhile has no mark worth clearing.
  std::weak_ptr<LayoutItem> weak = item;
  dispatch::MainQueue::asyncAfter(kLayoutingHold, [weak] {
    if (auto held = weak.lock()) held->setLayouting(false);
  });
}

}  // namespace tilvane
