#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include "CustomLayout/Qt/OwnedWidget.h"
#include "UI/Widgets/Label.h"
#include "WorkspaceLayout/Editor/WorkspaceViewController.h"

namespace tilvane {

/// The workspace list in Qt Widgets: a 200-wide one-column list of names above the add, remove and snapshot
/// buttons, a grey line, the editor filling the rest and the introduction centred over it. A click on a row is
/// the user's selection; a selection made by the controller is shown without being sent back.
class QtWorkspaceListView final : public WorkspaceListView {
 public:
  explicit QtWorkspaceListView(WorkspaceViewController& controller);

  void addDetailView(WorkspaceDetailView* detail) override;
  void reloadData() override;
  void reloadRow(std::size_t row) override;
  void selectRow(int row) override;
  void setIntroHidden(bool hidden) override;
  void setSnapshotEnabled(bool enabled) override;

  /// Null once the widget was deleted with its parent.
  QWidget* widget() const { return owned_.widget(); }
  QTableWidget* tableView() const { return tableView_; }
  QToolButton* addButton() const { return addButton_; }
  QToolButton* removeButton() const { return removeButton_; }
  QPushButton* snapshotButton() const { return snapshotButton_; }
  QFrame* line() const { return line_; }
  Label* introLabel() const { return introLabel_; }
  /// The name shown at `row`, null when none.
  QLabel* labelAt(int row) const;

 private:
  void layoutSubviews();
  int selectedTableRow() const;

  WorkspaceViewController& controller_;
  OwnedWidget owned_;
  QTableWidget* tableView_;
  QFrame* line_;
  QToolButton* addButton_;
  QToolButton* removeButton_;
  QPushButton* snapshotButton_;
  Label* introLabel_;
  QWidget* detail_ = nullptr;
};

}  // namespace tilvane
