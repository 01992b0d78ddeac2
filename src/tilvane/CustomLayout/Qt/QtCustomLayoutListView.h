#pragma once

#include <QFrame>
#include <QPointer>
#include <QTableWidget>
#include <QToolButton>

#include "CustomLayout/CustomLayoutViewController.h"
#include "CustomLayout/Qt/OwnedWidget.h"
#include "UI/Widgets/Label.h"

namespace tilvane {

class CustomLayoutTableCellView;
class QtCustomLayoutDetailView;

/// The custom-layout list in Qt Widgets: a 200-wide one-column list of names above the add and remove buttons,
/// a grey line, the editor to the right and the introduction centred over it. A click on a row is the user's
/// selection; a selection made by the controller is shown without being sent back.
class QtCustomLayoutListView final : public CustomLayoutListView {
 public:
  explicit QtCustomLayoutListView(CustomLayoutViewController& controller);

  void addDetailView(CustomLayoutDetailView* detail) override;
  void reloadData() override;
  void reloadRow(std::size_t row) override;
  void selectRow(int row) override;
  void setIntroHidden(bool hidden) override;

  /// Null once the widget was deleted with its parent.
  QWidget* widget() const { return owned_.widget(); }
  QTableWidget* tableView() const { return tableView_; }
  QToolButton* addButton() const { return addButton_; }
  QToolButton* removeButton() const { return removeButton_; }
  Label* introLabel() const { return introLabel_; }
  /// The cell shown at `row`, null when none.
  CustomLayoutTableCellView* cellAt(int row) const;

 private:
  void layoutSubviews();
  int selectedTableRow() const;

  CustomLayoutViewController& controller_;
  OwnedWidget owned_;
  QTableWidget* tableView_;
  QFrame* line_;
  QToolButton* addButton_;
  QToolButton* removeButton_;
  Label* introLabel_;
  QWidget* detail_ = nullptr;
};

}  // namespace tilvane
