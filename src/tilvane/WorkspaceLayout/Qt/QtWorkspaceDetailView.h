#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include "CustomLayout/Qt/OwnedWidget.h"
#include "RuleLayout/Grid/Qt/QtMatrixView.h"
#include "UI/Widgets/Label.h"
#include "WorkspaceLayout/Editor/WorkspaceDetailViewController.h"

namespace tilvane {

class WorkspaceItemTableCellView;

/// The workspace editor in Qt Widgets: the name row, the item list with its add and remove buttons, and right
/// of the list's line the item editor's five rows (application, document, desktop, display, grid). The item
/// editor starts right of the line, so the list's right edge stays the list's to click. The user's typing,
/// picks and taps go to the controller's streams; what it shows comes back through refresh().
class QtWorkspaceDetailView final : public WorkspaceDetailView {
 public:
  explicit QtWorkspaceDetailView(WorkspaceDetailViewController& controller);

  void refresh() override;
  void reloadItems() override;
  void refreshSelectedItemIcon() override;

  /// Null once the widget was deleted with its parent.
  QWidget* widget() const { return owned_.widget(); }
  QWidget* tableViewContainer() const { return tableViewContainer_; }
  QWidget* componentsContainer() const { return componentsContainer_; }
  QLineEdit* titleInput() const { return titleInput_; }
  QTableWidget* tableView() const { return tableView_; }
  QFrame* line() const { return line_; }
  QToolButton* addButton() const { return addButton_; }
  QToolButton* removeButton() const { return removeButton_; }
  QLineEdit* appLabel() const { return appLabel_; }
  QPushButton* appBrowserButton() const { return appBrowserButton_; }
  QLineEdit* fileLabel() const { return fileLabel_; }
  QPushButton* fileBrowserButton() const { return fileBrowserButton_; }
  QComboBox* spaceButton() const { return spaceButton_; }
  QComboBox* screenButton() const { return screenButton_; }
  QtMatrixView* layoutView() const { return layoutView_; }
  /// The cell shown at `row`, null when none.
  WorkspaceItemTableCellView* cellAt(int row) const;

 private:
  void layoutSubviews();
  void reloadItemRow(int row);
  void showItem(WorkspaceItemTableCellView& cell, int row) const;
  int selectedTableRow() const;

  WorkspaceDetailViewController& controller_;
  OwnedWidget owned_;
  QWidget* tableViewContainer_;
  QLabel* titleLabel_;
  QLineEdit* titleInput_;
  QFrame* titleLine_;
  QTableWidget* tableView_;
  QFrame* line_;
  QToolButton* addButton_;
  QToolButton* removeButton_;
  QWidget* componentsContainer_;
  Label* appTitleLabel_;
  QLineEdit* appLabel_;
  QPushButton* appBrowserButton_;
  Label* fileTitleLabel_;
  QLineEdit* fileLabel_;
  QPushButton* fileBrowserButton_;
  Label* spaceLabel_;
  QComboBox* spaceButton_;
  Label* screenLabel_;
  QComboBox* screenButton_;
  Label* layoutLable_;
  QtMatrixView* layoutView_;
};

}  // namespace tilvane
