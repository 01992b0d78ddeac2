#include "CustomLayout/Qt/QtCustomLayoutListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include "CustomLayout/Qt/CustomLayoutTableCellView.h"
#include "CustomLayout/Qt/QtCustomLayoutDetailView.h"
#include "Models/CustomLayoutModel.h"
#include "UI/Widgets/RowTable.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
QtCustomLayoutListView::QtCustomLayoutListView(CustomLayoutViewController& controller)
    : controller_(controller), owned_(controller) {
  QWidget* view = owned_.widget();
  tableView_ = makeRowTable(view, static_cast<int>(CustomLayoutViewController::kRowHeight));
  line_ = new QFrame(view);
  line_->setStyleSheet("background: rgba(128, 128, 128, 77);");
  addButton_ = squareButton(QStringLiteral("+"), view);
  removeButton_ = squareButton(QString::fromUtf8("\u2212"), view);
  introLabel_ = new Label(QString::fromStdString(NSLocalizedString("CustomLayoutForFocusedWindow")), 12, Qt::black,
                          Qt::AlignCenter, view);

  QObject::connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                   [this] { controller_.tableViewSelectionDidChange(selectedTableRow()); });
  QObject::connect(addButton_, &QToolButton::clicked, view, [this] { controller_.addButtonTap().onNext(); });
  QObject::connect(removeButton_, &QToolButton::clicked, view, [this] { controller_.removeButtonTap().onNext(); });
  owned_.setLayoutSubviews([this] { layoutSubviews(); });
}

void QtCustomLayoutListView::addDetailView(CustomLayoutDetailView* detail) {
  auto* qtDetail = dynamic_cast<QtCustomLayoutDetailView*>(detail);
  if (!qtDetail || !qtDetail->widget() || !widget()) return;
  detail_ = qtDetail->widget();
  detail_->setParent(widget());
  detail_->show();
  introLabel_->raise();
  layoutSubviews();
}

void QtCustomLayoutListView::reloadData() {
  const auto& layouts = controller_.layouts();
  // Rows still there keep their selection, as the controller's does.
  reloadNameRows(*tableView_, layouts.size(), [&](std::size_t row) { return layouts[row]->name(); },
                 controller_.selectedRow());
}

void QtCustomLayoutListView::reloadRow(std::size_t row) {
  const auto& layouts = controller_.layouts();
  if (row < layouts.size()) replaceNameCell(*tableView_, row, layouts[row]->name());
}

void QtCustomLayoutListView::selectRow(int row) {
  selectOnlyRow(*tableView_, row);
}

void QtCustomLayoutListView::setIntroHidden(bool hidden) { introLabel_->setVisible(!hidden); }

CustomLayoutTableCellView* QtCustomLayoutListView::cellAt(int row) const {
  return dynamic_cast<CustomLayoutTableCellView*>(tableView_->cellWidget(row, 0));
}

int QtCustomLayoutListView::selectedTableRow() const {
  return selectedRow(*tableView_);
}

void QtCustomLayoutListView::layoutSubviews() {
  QWidget* view = owned_.widget();
  if (!view) return;
  const int width = view->width();
  const int height = view->height();
  tableView_->setGeometry(0, 0, 200, std::max(0, height - 40));
  addButton_->setGeometry(5, tableView_->geometry().bottom() + 1 + 10, 20, 20);
  removeButton_->setGeometry(addButton_->geometry().right() + 1 + 5, addButton_->y(), 20, 20);
  line_->setGeometry(200, 0, 1, height + 5);
  const QRect detail(220, 10, std::max(0, width - 240), std::max(0, height - 15));
  if (detail_) detail_->setGeometry(detail);
  introLabel_->adjustSize();
  introLabel_->move(detail.center().x() - introLabel_->width() / 2, 20);
}

}  // namespace tilvane
