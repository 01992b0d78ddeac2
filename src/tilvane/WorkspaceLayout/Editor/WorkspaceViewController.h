#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "Models/ModelsFwd.h"
#include "VkKit/VkRxViewController.h"
#include "WorkspaceLayout/Editor/WorkspaceDetailViewController.h"
#include "WorkspaceLayout/Editor/WorkspaceViews.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// What the workspace list reaches outside itself; every member may be left empty.
struct WorkspaceServices {
  WorkspaceViews* views = nullptr;
  /// Null: no window, so no confirmation, no chooser and no message.
  WorkspaceDialogs* dialogs = nullptr;
  /// The snapshot's desktop walk as a queue step; empty: the layout engine's.
  std::function<std::shared_ptr<dispatch::Operation>()> visitSpaces;
  /// The snapshot's items; empty: the layout engine's managed windows.
  std::function<std::vector<WorkspaceLayoutItemModelPtr>()> snapshotWorkspace;
};

/// The Workspaces pane's content: the stored workspaces as a one-column list with add, delete (after a
/// confirmation) and snapshot, and the workspace editor beside it. It reads the store once, when its view
/// loads; afterwards the list changes only by its own add, delete and snapshot. The selected workspace reaches
/// the editor only through WorkspaceBridge::selectedWorkspace.
///
/// A workspace whose write failed is neither listed nor announced: the failure is logged and the user told.
/// One snapshot runs at a time: its desktop walk is a step of a queue of its own, so the main loop goes on
/// meanwhile, and its result is stored on the main loop. Main thread only.
class WorkspaceViewController : public VkRxViewController {
 public:
  static constexpr double kRowHeight = 25.0;

  explicit WorkspaceViewController(WorkspaceServices services = {});
  ~WorkspaceViewController() override;

  const std::vector<WorkspaceLayoutGroupModelPtr>& workspaces() const { return workspaces_; }
  std::size_t numberOfRows() const { return workspaces_.size(); }
  int selectedRow() const { return selectedRow_; }
  bool introHidden() const { return introHidden_; }
  /// True while a snapshot runs: the button is disabled until its result is stored.
  bool snapshotRunning() const { return snapshotQueue_ != nullptr; }
  WorkspaceDetailViewController& deatilViewController() { return *deatilViewController_; }
  /// The view; null without a toolkit. Loaded (and the set-up hooks run) on first use.
  WorkspaceListView* view();

  /// The user selected `row` (-1: none).
  void tableViewSelectionDidChange(int row);
  void addWorkspace();
  /// Asks before deleting the selected workspace; without a window nothing happens.
  void confirmDeleteWorkspace();
  /// The confirmation's answer: WorkspaceDialogs::kDelete deletes the selected workspace.
  void deleteSelectedWorkspace(int response);
  void takeSnapshot();
  /// Shows the selected row's new name and rewrites the workspace list file.
  void refreshRenamedWorkspace();

  rx::PublishSubject<rx::Unit>& addButtonTap() { return addTapped_; }
  rx::PublishSubject<rx::Unit>& removeButtonTap() { return removeTapped_; }
  rx::PublishSubject<rx::Unit>& snapshotButtonTap() { return snapshotTapped_; }

 protected:
  void loadView() override;
  void setupUI() override;
  void setupViewModel() override;

 private:
  /// Stores a new workspace holding the snapshot's items; the snapshot ends with it.
  void storeSnapshot();
  /// Writes `group`; listed, selected and announced only once stored.
  void appendStored(const WorkspaceLayoutGroupModelPtr& group, const std::string& what);
  void selectRow(int row);
  void setIntroHidden(bool hidden);

  WorkspaceServices services_;
  std::vector<WorkspaceLayoutGroupModelPtr> workspaces_;
  std::unique_ptr<WorkspaceDetailViewController> deatilViewController_;
  int selectedRow_ = -1;
  bool introHidden_ = false;
  std::unique_ptr<dispatch::OperationQueue> snapshotQueue_;
  rx::PublishSubject<rx::Unit> addTapped_;
  rx::PublishSubject<rx::Unit> removeTapped_;
  rx::PublishSubject<rx::Unit> snapshotTapped_;
  /// Lets a snapshot step that outlives the controller find it gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::unique_ptr<WorkspaceListView> view_;
};

}  // namespace tilvane
