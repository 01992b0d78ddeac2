#include "WorkspaceLayout/Editor/WorkspaceViewController.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "WorkspaceLayout/Editor/WorkspaceStore.h"
#include "WorkspaceLayout/Restore/AsyncBlockOperation.h"
#include "WorkspaceLayout/Restore/DesktopReturn.h"
#include "platform/desktop/NSApplication.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

WorkspaceViewController::WorkspaceViewController(WorkspaceServices services)
    : services_(std::move(services)),
      deatilViewController_(std::make_unique<WorkspaceDetailViewController>(services_.views, services_.dialogs)) {
  if (!services_.visitSpaces) services_.visitSpaces = [] { return LayoutManager::makeVisitSpacesOperation(); };
  if (!services_.snapshotWorkspace)
    services_.snapshotWorkspace = [] { return LayoutManager::shared().snapshotWorkspace(); };
}

WorkspaceViewController::~WorkspaceViewController() { *alive_ = false; }

WorkspaceListView* WorkspaceViewController::view() {
  loadViewIfNeeded();
  return view_.get();
}

void WorkspaceViewController::loadView() {
  if (services_.views) view_ = services_.views->makeView(*this);
}

void WorkspaceViewController::setupUI() {
  workspaces_ = StoreService::shared().workspaces();
  if (view_) view_->reloadData();
  // Loading the editor's view runs its set-up: from here on it follows the selection.
  WorkspaceDetailView* detail = deatilViewController_->view();
  if (view_) {
    view_->addDetailView(detail);
    view_->setSnapshotEnabled(true);
  }
  setIntroHidden(false);
}

void WorkspaceViewController::setupViewModel() {
  WorkspaceBridge::workspaceRenamed().subscribe([this](const rx::Unit&) { refreshRenamedWorkspace(); })
      .disposed(disposeBag());
  addTapped_.subscribe([this](const rx::Unit&) { addWorkspace(); }).disposed(disposeBag());
  removeTapped_.subscribe([this](const rx::Unit&) { confirmDeleteWorkspace(); }).disposed(disposeBag());
  snapshotTapped_.subscribe([this](const rx::Unit&) { takeSnapshot(); }).disposed(disposeBag());
}

void WorkspaceViewController::tableViewSelectionDidChange(int row) {
  selectedRow_ = row >= 0 && static_cast<std::size_t>(row) < workspaces_.size() ? row : -1;
  WorkspaceBridge::selectedWorkspace().onNext(selectedRow_ < 0 ? nullptr
                                                                : workspaces_[static_cast<std::size_t>(selectedRow_)]);
  setIntroHidden(selectedRow_ >= 0);
}

void WorkspaceViewController::addWorkspace() {
  appendStored(std::make_shared<WorkspaceLayoutGroupModel>(), "new workspace");
}

void WorkspaceViewController::appendStored(const WorkspaceLayoutGroupModelPtr& group, const std::string& what) {
  const bool stored = writeWorkspaceChange(what + " \"" + group->name() + "\"", [&](store::Database& database) {
    StoreService::shared().addUpdating(database, group);
  });
  if (!stored) {
    if (services_.dialogs) services_.dialogs->showAlert(NSLocalizedString("WorkspaceNotSaved"));
    return;
  }
  workspaces_.push_back(group);
  StoreService::shared().exportAlfredSpaces();
  if (view_) view_->reloadData();
  selectRow(static_cast<int>(workspaces_.size()) - 1);
  WorkspaceBridge::workspaceAdded().onNext();
}

void WorkspaceViewController::confirmDeleteWorkspace() {
  if (!services_.dialogs) return;
  std::weak_ptr<bool> alive = alive_;
  services_.dialogs->confirmDelete([this, alive](int response) {
    if (alive.lock() && *alive.lock()) deleteSelectedWorkspace(response);
  });
}

void WorkspaceViewController::deleteSelectedWorkspace(int response) {
  if (response != WorkspaceDialogs::kDelete) return;
  const int row = selectedRow_;
  if (row < 0 || static_cast<std::size_t>(row) >= workspaces_.size()) return;
  const WorkspaceLayoutGroupModelPtr removed = workspaces_[static_cast<std::size_t>(row)];
  workspaces_.erase(workspaces_.begin() + row);
  StoreService::shared().deleteWorkspace(*removed);
  if (view_) view_->reloadData();
  const int count = static_cast<int>(workspaces_.size());
  selectRow(row < count ? row : count - 1);
  WorkspaceBridge::workspaceRemoved().onNext();
}

void WorkspaceViewController::takeSnapshot() {
  if (snapshotQueue_) return;
  snapshotQueue_ = std::make_unique<dispatch::OperationQueue>("snapshot");
  if (view_) view_->setSnapshotEnabled(false);
  dispatch::OperationQueue& queue = *snapshotQueue_;
  queue.setSuspended(true);
  // The walk ends on the last desktop it showed; the user is taken back to the one they started from, where
  // the window they started it in is.
  const int startDesktop = shownDesktop();
  queue.addOperation(services_.visitSpaces());
  queue.addOperation(makeReturnToDesktopOperation(startDesktop));
  std::weak_ptr<bool> alive = alive_;
  queue.addOperation(std::make_shared<AsyncBlockOperation>([this, alive](AsyncBlockOperation::Done done) {
    // The result is stored by the main queue; the step ends once it is.
    dispatch::MainQueue::async([this, alive, done = std::move(done)] {
      if (const auto a = alive.lock(); a && *a) storeSnapshot();
      done();
    });
  }));
  queue.setSuspended(false);
}

void WorkspaceViewController::storeSnapshot() {
  auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  group->items().append(services_.snapshotWorkspace());
  appendStored(group, "snapshot");
  NSApplication::activateIgnoringOtherApps(true);
  // The queue is let go once its last step has returned.
  std::weak_ptr<bool> alive = alive_;
  dispatch::MainQueue::async([this, alive] {
    if (const auto a = alive.lock(); !a || !*a) return;
    snapshotQueue_.reset();
    if (view_) view_->setSnapshotEnabled(true);
  });
}

void WorkspaceViewController::refreshRenamedWorkspace() {
  // The selected row is the renamed workspace's: the editor shows the selected one.
  if (selectedRow_ < 0 || static_cast<std::size_t>(selectedRow_) >= workspaces_.size()) return;
  if (view_) view_->reloadRow(static_cast<std::size_t>(selectedRow_));
  StoreService::shared().exportAlfredSpaces();
}

void WorkspaceViewController::selectRow(int row) {
  if (view_) view_->selectRow(row);
  tableViewSelectionDidChange(row);
}

void WorkspaceViewController::setIntroHidden(bool hidden) {
  introHidden_ = hidden;
  if (view_) view_->setIntroHidden(hidden);
}

}  // namespace tilvane
