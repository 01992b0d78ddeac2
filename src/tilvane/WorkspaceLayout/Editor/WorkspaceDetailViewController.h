#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Models/ModelsFwd.h"
#include "RuleLayout/Grid/FixPostionMatrixView.h"
#include "VkKit/VkRxViewController.h"
#include "WorkspaceLayout/Restore/ItemApplication.h"
#include "WorkspaceLayout/Editor/WorkspaceViews.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// What the workspace editor's controls show; the view draws it.
struct WorkspaceDetailControls {
  /// The whole editor: hidden while no workspace is shown.
  bool viewHidden = false;
  /// The name row and the item list.
  bool tableHidden = true;
  /// The item editor.
  bool componentsHidden = true;
  std::string name;
  /// The item row selected, -1 for none.
  int selectedItemRow = -1;
  /// The desktop and display popups' entries ("Desktop 1", ...) and the entry chosen.
  std::vector<std::string> spaceEntries;
  std::vector<std::string> screenEntries;
  int spaceIndex = 0;
  int screenIndex = 0;
  std::string appPath;
  std::string filePath;
};

/// The editor of one stored workspace: its name, its items, and for the selected item its application,
/// document, desktop, display and rectangle on an 8 × 8 grid. It shows the workspace published on
/// WorkspaceBridge::selectedWorkspace. Every edit is one write; renaming publishes workspaceRenamed, changing the
/// application workspaceItemChanged, and renaming, adding and removing items rewrite the workspace list file. A
/// failed write is logged, the user told, and nothing is published for it. Main thread only.
class WorkspaceDetailViewController : public VkRxViewController {
 public:
  static constexpr int kGridCells = 8;
  static constexpr double kRowHeight = 50.0;
  enum class IndexField { space, screen };

  /// `views` and `dialogs` may be null (no toolkit; no window).
  explicit WorkspaceDetailViewController(WorkspaceViews* views = nullptr, WorkspaceDialogs* dialogs = nullptr);

  void showWorkspace(const WorkspaceLayoutGroupModelPtr& group);
  /// The user selected item row `row` (-1: none).
  void tableViewSelectionDidChange(int row);
  void showWorkspaceItem(const WorkspaceLayoutItemModelPtr& item);
  /// Absent text changes nothing; an empty name is kept as typed.
  void renameWorkspace(const std::optional<std::string>& text);
  void setItemIndex(int index, IndexField field);
  /// A grid value of the 8 × 8 grid: its selected rectangle becomes the item's fractions.
  void setItemFrame(std::int64_t value);
  void changeApplication();
  void chooseDocument();
  void setDocumentPath(const std::optional<std::string>& text);
  void addItem();
  void removeItem();
  /// Shows the selected row's icon afresh.
  void refreshSelectedItemRow();

  std::size_t numberOfRows() const;
  /// The icon reference of the item at `row` (a file, or a name such as "Finder"); none without one.
  std::optional<std::string> iconReference(std::size_t row) const;
  /// The name, icon and whereabouts of the application of the item at `row` (empty past the last row).
  ItemApplication itemApplication(std::size_t row) const;

  const WorkspaceLayoutGroupModelPtr& workspaceGroup() const { return workspaceGroup_; }
  const WorkspaceLayoutItemModelPtr& workspaceItem() const { return workspaceItem_; }
  const WorkspaceDetailControls& controls() const { return controls_; }
  FixPostionMatrixView& layoutView() { return layoutView_; }
  WorkspaceDetailView* view();

  // The controls' user events, sent by the view.
  rx::PublishSubject<std::optional<std::string>>& titleInputText() { return nameTyped_; }
  rx::PublishSubject<std::optional<std::string>>& fileLabelText() { return fileTyped_; }
  rx::PublishSubject<int>& spaceButtonAction() { return spacePicked_; }
  rx::PublishSubject<int>& screenButtonAction() { return screenPicked_; }
  rx::PublishSubject<rx::Unit>& appBrowserButtonTap() { return appBrowseTapped_; }
  rx::PublishSubject<rx::Unit>& fileBrowserButtonTap() { return fileBrowseTapped_; }
  rx::PublishSubject<rx::Unit>& addButtonTap() { return addTapped_; }
  rx::PublishSubject<rx::Unit>& removeButtonTap() { return removeTapped_; }

 protected:
  void loadView() override;
  void setupUI() override;
  void setupViewModel() override;

 private:
  /// One write; false (logged, the user told) when it failed.
  bool write(const std::string& what, const std::function<void()>& change);
  /// The path the file chooser gave, none when cancelled or without a window.
  std::optional<std::string> choosePath();
  /// The same of the application chooser.
  std::optional<std::string> chooseApplicationPath();
  void selectItemRow(int row);
  void refreshView();

  WorkspaceViews* views_;
  WorkspaceDialogs* dialogs_;
  WorkspaceDetailControls controls_;
  FixPostionMatrixView layoutView_;
  WorkspaceLayoutGroupModelPtr workspaceGroup_;
  WorkspaceLayoutItemModelPtr workspaceItem_;
  rx::PublishSubject<std::optional<std::string>> nameTyped_;
  rx::PublishSubject<std::optional<std::string>> fileTyped_;
  rx::PublishSubject<int> spacePicked_;
  rx::PublishSubject<int> screenPicked_;
  rx::PublishSubject<rx::Unit> appBrowseTapped_;
  rx::PublishSubject<rx::Unit> fileBrowseTapped_;
  rx::PublishSubject<rx::Unit> addTapped_;
  rx::PublishSubject<rx::Unit> removeTapped_;
  std::unique_ptr<WorkspaceDetailView> view_;
};

}  // namespace tilvane
