#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tilvane {

class WorkspaceViewController;
class WorkspaceDetailViewController;

/// The workspace editor's view as its controller sees it: the name row, the item list and the item editor, all
/// drawn from controller.controls(); it reports the user's typing, picks and taps to the controller's streams.
class WorkspaceDetailView {
 public:
  virtual ~WorkspaceDetailView() = default;
  /// Shows the controls as they are now. Values shown from here are not reported back as the user's.
  virtual void refresh() = 0;
  /// Shows every item row afresh and selects controls().selectedItemRow (-1: none) without reporting it.
  virtual void reloadItems() = 0;
  /// Shows the selected item row's icon afresh.
  virtual void refreshSelectedItemIcon() = 0;
};

/// The workspace list's view: the names, the add, remove and snapshot buttons, the editor's view beside them and
/// the introduction over it while nothing is selected.
class WorkspaceListView {
 public:
  virtual ~WorkspaceListView() = default;
  /// Places the editor's view (null: the editor has none) beside the list.
  virtual void addDetailView(WorkspaceDetailView* detail) = 0;
  /// Shows every row afresh from the controller's workspaces.
  virtual void reloadData() = 0;
  /// Shows one row's name afresh.
  virtual void reloadRow(std::size_t row) = 0;
  /// Selects `row` (-1: none) without reporting it as the user's selection.
  virtual void selectRow(int row) = 0;
  virtual void setIntroHidden(bool hidden) = 0;
  virtual void setSnapshotEnabled(bool enabled) = 0;
};

/// The pane's modal questions and messages. Tests answer them; the real ones are Qt dialogs.
class WorkspaceDialogs {
 public:
  /// The answer of the delete confirmation's first button ("Delete"); "Cancel" answers kCancel.
  static constexpr int kDelete = 1000;
  static constexpr int kCancel = 1001;

  virtual ~WorkspaceDialogs() = default;
  /// Asks "DeleteWorkspaceAlert" with "Delete" and "Cancel" as a sheet; `completion` gets the answer. False when
  /// there is no window to ask on (nothing is asked then).
  virtual bool confirmDelete(std::function<void(int response)> completion) = 0;
  /// A warning with `message` and one "Close" button, as a sheet that does not block.
  virtual void showAlert(const std::string& message) = 0;
  /// A modal file chooser for one file or folder; the path chosen, none when cancelled.
  virtual std::optional<std::string> chooseFile() = 0;
  /// The modal application chooser, the Apps pane's: one desktop entry, from the applications folders on; the
  /// path chosen, none when cancelled.
  virtual std::optional<std::string> chooseApplication() = 0;
};

/// Makes the views of the Workspaces pane in a toolkit. Without one the controllers work without views.
class WorkspaceViews {
 public:
  virtual ~WorkspaceViews() = default;
  virtual std::unique_ptr<WorkspaceListView> makeView(WorkspaceViewController& controller) = 0;
  virtual std::unique_ptr<WorkspaceDetailView> makeView(WorkspaceDetailViewController& controller) = 0;
};

}  // namespace tilvane
