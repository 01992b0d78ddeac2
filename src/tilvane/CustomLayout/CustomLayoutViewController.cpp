#include "CustomLayout/CustomLayoutViewController.h"

#include <algorithm>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Store/StoreService.h"
#include "CustomLayout/CustomLayoutStore.h"
#include "Models/CustomLayoutModel.h"

namespace tilvane {

CustomLayoutViewController::CustomLayoutViewController(CustomLayoutViews* views)
    : views_(views), deatilViewController_(std::make_unique<CustomLayoutDetailViewController>(views)) {}

CustomLayoutListView* CustomLayoutViewController::view() {
  loadViewIfNeeded();
  return view_.get();
}

void CustomLayoutViewController::loadView() {
  if (views_) view_ = views_->makeView(*this);
}

void CustomLayoutViewController::setupUI() {
  layouts_ = StoreService::shared().customLayouts();
  if (view_) view_->reloadData();
  // Loading the editor's view runs its set-up: from here on it follows the selection.
  CustomLayoutDetailView* detail = deatilViewController_->view();
  if (view_) view_->addDetailView(detail);
  setIntroHidden(false);
}

void CustomLayoutViewController::setupViewModel() {
  CustomLayoutBridge::layoutChanged()
      .subscribe([this](const CustomLayoutModelPtr& layout) { updateSelectedLayoutName(layout); })
      .disposed(disposeBag());
  // A layout the editor found deleted elsewhere leaves the list; the list's own removals are handled where made.
  CustomLayoutBridge::layoutRemoved()
      .subscribe([this](const CustomLayoutModelPtr& layout) {
        if (layout && layout->id() != removingId_) dropLayout(layout->id());
      })
      .disposed(disposeBag());
  addTapped_.subscribe([this](const rx::Unit&) { onAddLayout(); }).disposed(disposeBag());
  removeTapped_.subscribe([this](const rx::Unit&) { onRemoveLayout(); }).disposed(disposeBag());
}

void CustomLayoutViewController::tableViewSelectionDidChange(int row) {
  selectedRow_ = row >= 0 && static_cast<std::size_t>(row) < layouts_.size() ? row : -1;
  if (selectedRow_ < 0) {
    CustomLayoutBridge::selectedLayout().onNext(nullptr);
    setIntroHidden(false);
    return;
  }
  CustomLayoutBridge::selectedLayout().onNext(layouts_[static_cast<std::size_t>(selectedRow_)]);
  setIntroHidden(true);
}

void CustomLayoutViewController::onAddLayout() {
  auto layout = std::make_shared<CustomLayoutModel>();
  layouts_.push_back(layout);
  if (view_) view_->reloadData();
  selectRow(static_cast<int>(layouts_.size()) - 1);
  CustomLayoutBridge::layoutAdded().onNext(layout);
}

void CustomLayoutViewController::onRemoveLayout() {
  const int row = selectedRow_;
  if (row < 0) return;
  const auto index = static_cast<std::size_t>(row);
  const CustomLayoutModelPtr removed = layouts_[index];
  removingId_ = removed->id();
  CustomLayoutBridge::layoutRemoved().onNext(removed);
  removingId_.clear();
  deleteCustomLayout(*removed);
  removeRow(row);
}

void CustomLayoutViewController::dropLayout(const std::string& id) {
  const auto found = std::find_if(layouts_.begin(), layouts_.end(),
                                  [&](const CustomLayoutModelPtr& entry) { return entry->id() == id; });
  if (found == layouts_.end()) return;
  const int row = static_cast<int>(found - layouts_.begin());
  if (row == selectedRow_) {
    removeRow(row);
    return;
  }
  layouts_.erase(found);
  if (selectedRow_ > row) --selectedRow_;
  if (view_) {
    view_->reloadData();
    view_->selectRow(selectedRow_);
  }
}

void CustomLayoutViewController::removeRow(int row) {
  layouts_.erase(layouts_.begin() + row);
  if (view_) view_->reloadData();
  if (layouts_.empty()) {
    selectedRow_ = -1;
    if (view_) view_->selectRow(-1);
    CustomLayoutBridge::selectedLayout().onNext(nullptr);
    CustomLayoutBridge::layoutChanged().onNext(nullptr);
    setIntroHidden(false);
    return;
  }
  selectRow(row > 0 ? row - 1 : 0);
}

void CustomLayoutViewController::updateSelectedLayoutName(const CustomLayoutModelPtr& layout) {
  if (!layout) return;
  // Found by id, not by the row on show: a row scrolled out of view must not keep a stale copy.
  const auto found = std::find_if(layouts_.begin(), layouts_.end(),
                                  [&](const CustomLayoutModelPtr& entry) { return entry->id() == layout->id(); });
  if (found == layouts_.end()) return;
  // The editor writes the copy (and answers for it when it cannot); the list follows what it publishes.
  *found = layout;
  if (view_) view_->reloadRow(static_cast<std::size_t>(found - layouts_.begin()));
}

void CustomLayoutViewController::selectRow(int row) {
  selectedRow_ = row;
  if (view_) view_->selectRow(row);
  tableViewSelectionDidChange(row);
}

void CustomLayoutViewController::setIntroHidden(bool hidden) {
  introHidden_ = hidden;
  if (view_) view_->setIntroHidden(hidden);
}

}  // namespace tilvane
