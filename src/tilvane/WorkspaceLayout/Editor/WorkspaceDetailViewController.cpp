#include "WorkspaceLayout/Editor/WorkspaceDetailViewController.h"

#include <algorithm>
#include <limits>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "WorkspaceLayout/Editor/WorkspaceStore.h"
#include "platform/desktop/NSScreen.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

constexpr int kCells = WorkspaceDetailViewController::kGridCells;

std::vector<std::string> entries(const std::string& key, std::int64_t count) {
  std::vector<std::string> result;
  // A damaged count must not make the popup unbounded.
  count = std::clamp<std::int64_t>(count, 1, 64);
  for (std::int64_t n = 1; n <= count; ++n) result.push_back(NSLocalizedString(key) + " " + std::to_string(n));
  return result;
}

std::int64_t screenCountNow() { return std::max<std::int64_t>(static_cast<std::int64_t>(NSScreen::screens().size()), 1); }

}  // namespace

WorkspaceDetailViewController::WorkspaceDetailViewController(WorkspaceViews* views, WorkspaceDialogs* dialogs)
    : views_(views), dialogs_(dialogs) {}

WorkspaceDetailView* WorkspaceDetailViewController::view() {
  loadViewIfNeeded();
  return view_.get();
}

void WorkspaceDetailViewController::loadView() {
  if (views_) view_ = views_->makeView(*this);
}

void WorkspaceDetailViewController::setupUI() {
  controls_ = WorkspaceDetailControls{};
  layoutView_.layoutRects(kCells, kCells);
  refreshView();
}

void WorkspaceDetailViewController::setupViewModel() {
  layoutView_.matrixValueChanged().subscribe([this](std::int64_t value) { setItemFrame(value); })
      .disposed(disposeBag());
  spacePicked_.subscribe([this](int index) { setItemIndex(index, IndexField::space); }).disposed(disposeBag());
  screenPicked_.subscribe([this](int index) { setItemIndex(index, IndexField::screen); }).disposed(disposeBag());
  appBrowseTapped_.subscribe([this](const rx::Unit&) { changeApplication(); }).disposed(disposeBag());
  fileBrowseTapped_.subscribe([this](const rx::Unit&) { chooseDocument(); }).disposed(disposeBag());
  nameTyped_.subscribe([this](const std::optional<std::string>& text) { renameWorkspace(text); })
      .disposed(disposeBag());
  fileTyped_.subscribe([this](const std::optional<std::string>& text) { setDocumentPath(text); })
      .disposed(disposeBag());
  addTapped_.subscribe([this](const rx::Unit&) { addItem(); }).disposed(disposeBag());
  removeTapped_.subscribe([this](const rx::Unit&) { removeItem(); }).disposed(disposeBag());
  WorkspaceBridge::workspaceItemChanged().subscribe([this](const rx::Unit&) { refreshSelectedItemRow(); })
      .disposed(disposeBag());
  WorkspaceBridge::selectedWorkspace()
      .subscribe([this](const WorkspaceLayoutGroupModelPtr& group) { showWorkspace(group); })
      .disposed(disposeBag());
}

std::size_t WorkspaceDetailViewController::numberOfRows() const {
  return workspaceGroup_ ? workspaceGroup_->items().size() : 0;
}

std::optional<std::string> WorkspaceDetailViewController::iconReference(std::size_t row) const {
  return itemApplication(row).icon;
}

ItemApplication WorkspaceDetailViewController::itemApplication(std::size_t row) const {
  if (row >= numberOfRows()) return {};
  return describeItemApplication(*workspaceGroup_->items().at(row));
}

void WorkspaceDetailViewController::showWorkspace(const WorkspaceLayoutGroupModelPtr& group) {
  controls_.viewHidden = !group;
  workspaceGroup_ = group;
  controls_.name = group ? group->name() : std::string();
  controls_.tableHidden = false;
  controls_.componentsHidden = true;
  controls_.selectedItemRow = -1;
  if (view_) view_->reloadItems();
  refreshView();
}

void WorkspaceDetailViewController::tableViewSelectionDidChange(int row) {
  controls_.selectedItemRow = row >= 0 && static_cast<std::size_t>(row) < numberOfRows() ? row : -1;
  if (controls_.selectedItemRow < 0) {
    controls_.componentsHidden = true;
    refreshView();
    return;
  }
  showWorkspaceItem(workspaceGroup_->items().at(static_cast<std::size_t>(row)));
}

void WorkspaceDetailViewController::showWorkspaceItem(const WorkspaceLayoutItemModelPtr& item) {
  if (!item) return;
  workspaceItem_ = item;
  controls_.componentsHidden = false;
  controls_.spaceEntries =
      entries("Desktop", std::max<std::int64_t>(ScreenManager::shared().spaceCount(), item->spaceCount()));
  controls_.screenEntries = entries("Display", std::max(item->screenCount(), screenCountNow()));
  controls_.spaceIndex = static_cast<int>(std::clamp<std::int64_t>(item->spaceIndex(), 0, 63));
  controls_.screenIndex = static_cast<int>(std::clamp<std::int64_t>(item->screenIndex(), 0, 63));
  controls_.appPath = item->appPath();
  controls_.filePath = item->filePath();
  // The cells the window covers as it stands: a window's own frame is recorded with the gap around it.
  const CGRect display = ScreenManager::shared().screenFrameAtIndex(static_cast<int>(
      std::clamp<std::int64_t>(item->screenIndex(), std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
  const auto grid = TransformUtils::matrixRect(kCells, kCells, windowFractions(recordedPlaceOf(*item), display));
  layoutView_.layoutRects(kCells, kCells);
  layoutView_.startRect = nullptr;
  layoutView_.endRect = nullptr;
  layoutView_.endRects.clear();
  layoutView_.updateSelection();
  layoutView_.setMatrixValue(TransformUtils::matrixValue(grid), kCells, kCells);
  refreshView();
}

bool WorkspaceDetailViewController::write(const std::string& what, const std::function<void()>& change) {
  if (writeWorkspaceChange(what, [&](store::Database&) { change(); })) return true;
  if (dialogs_) dialogs_->showAlert(NSLocalizedString("WorkspaceNotSaved"));
  return false;
}

void WorkspaceDetailViewController::renameWorkspace(const std::optional<std::string>& text) {
  if (!text || !workspaceGroup_) return;
  controls_.name = *text;
  if (!write("name \"" + *text + "\"", [&] { workspaceGroup_->setName(*text); })) return;
  WorkspaceBridge::workspaceRenamed().onNext();
  StoreService::shared().exportAlfredSpaces();
}

void WorkspaceDetailViewController::setItemIndex(int index, IndexField field) {
  if (!workspaceItem_ || index < 0) return;
  const bool space = field == IndexField::space;
  (space ? controls_.spaceIndex : controls_.screenIndex) = index;
  write(space ? "desktop" : "display", [&] {
    if (space)
      workspaceItem_->setSpaceIndex(index);
    else
      workspaceItem_->setScreenIndex(index);
  });
}

void WorkspaceDetailViewController::setItemFrame(std::int64_t value) {
  if (!workspaceItem_) return;
  const auto rect = TransformUtils::spanRect(TransformUtils::matrix(value, kCells, kCells));
  if (!rect) return;
  write("frame", [&] {
    // Cells of the visible frame itself: no gap around them.
    setRecordedPlace(*workspaceItem_, RecordedPlace{*rect, 0});
  });
}

std::optional<std::string> WorkspaceDetailViewController::choosePath() {
  return dialogs_ ? dialogs_->chooseFile() : std::nullopt;
}

std::optional<std::string> WorkspaceDetailViewController::chooseApplicationPath() {
  return dialogs_ ? dialogs_->chooseApplication() : std::nullopt;
}

void WorkspaceDetailViewController::changeApplication() {
  const auto path = chooseApplicationPath();
  if (!path || !workspaceItem_) return;
  const auto app = AppManager::shared().appInfo(*path);
  if (!app) {
    if (dialogs_) dialogs_->showAlert(NSLocalizedString("UnsupportType"));
    return;
  }
  // The bundle identifier follows the path, so the item never names two applications.
  if (!write("application", [&] {
        workspaceItem_->setAppPath(*path);
        workspaceItem_->setBundleIdentifier(app->bundleID);
      }))
    return;
  controls_.appPath = *path;
  refreshView();
  WorkspaceBridge::workspaceItemChanged().onNext();
}

void WorkspaceDetailViewController::chooseDocument() {
  const auto path = choosePath();
  if (!path || !workspaceItem_) return;
  if (!write("document", [&] { workspaceItem_->setFilePath(*path); })) return;
  controls_.filePath = *path;
  refreshView();
}

void WorkspaceDetailViewController::setDocumentPath(const std::optional<std::string>& text) {
  if (!text || !workspaceItem_) return;
  controls_.filePath = *text;
  write("document", [&] { workspaceItem_->setFilePath(*text); });
}

void WorkspaceDetailViewController::addItem() {
  const auto path = chooseApplicationPath();
  if (!path || !workspaceGroup_) return;
  const auto app = AppManager::shared().appInfo(*path);
  if (!app) {
    if (dialogs_) dialogs_->showAlert(NSLocalizedString("UnsupportType"));
    return;
  }
  ScreenManager& screens = ScreenManager::shared();
  const auto main = NSScreen::mainScreen();
  auto item = std::make_shared<WorkspaceLayoutItemModel>();
  item->setAppPath(*path);
  item->setBundleIdentifier(app->bundleID);
  item->setDevicesIdentifier(screens.makeDisplayIdentifier());
  item->setScreenIndex(std::max(screens.screenIndex(main), 0));
  item->setScreenCount(screenCountNow());
  item->setSpaceIndex(std::max(screens.currentSpaceIndex(main), 0));
  item->setSpaceCount(screens.spaceCount());
  item->setX(0);
  item->setY(0);
  item->setWidth(1.0);
  item->setHeight(1.0);
  if (!write("new item", [&] { workspaceGroup_->items().append(item); })) return;
  selectItemRow(static_cast<int>(numberOfRows()) - 1);
  StoreService::shared().exportAlfredSpaces();
}

void WorkspaceDetailViewController::removeItem() {
  if (!workspaceGroup_ || !workspaceItem_) return;
  const auto index = workspaceGroup_->items().indexOf(workspaceItem_);
  if (!index) return;
  if (!write("removed item", [&] { workspaceGroup_->items().remove(*index); })) return;
  const int count = static_cast<int>(numberOfRows());
  selectItemRow(static_cast<int>(*index) < count ? static_cast<int>(*index) : count - 1);
  StoreService::shared().exportAlfredSpaces();
}

void WorkspaceDetailViewController::refreshSelectedItemRow() {
  if (controls_.selectedItemRow < 0 || static_cast<std::size_t>(controls_.selectedItemRow) >= numberOfRows()) return;
  if (view_) view_->refreshSelectedItemIcon();
}

void WorkspaceDetailViewController::selectItemRow(int row) {
  controls_.selectedItemRow = row;
  if (view_) view_->reloadItems();
  tableViewSelectionDidChange(row);
}

void WorkspaceDetailViewController::refreshView() {
  if (view_) view_->refresh();
}

}  // namespace tilvane
