#include "WorkspaceLayout/Qt/QtWorkspaceListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

#include "CustomLayout/Qt/CustomLayoutTableCellView.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "WorkspaceLayout/Qt/QtWorkspaceDetailView.h"
#include "UI/Widgets/RowTable.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
QtWorkspaceListView::QtWorkspaceListView(WorkspaceViewController& controller)
    : controller_(controller), owned_(controller) {
  QWidget* view = owned_.widget();
  tableView_ = makeRowTable(view, static_cast<int>(WorkspaceViewController::kRowHeight));
  line_ = new QFrame(view);
  line_->setStyleSheet("background: rgba(128, 128, 128, 77);");
  addButton_ = squareButton(QStringLiteral("+"), view);
  removeButton_ = squareButton(QString::fromUtf8("\u2212"), view);
  snapshotButton_ = new QPushButton(QString::fromStdString(NSLocalizedString("SnapshotSpace")), view);
  snapshotButton_->setFocusPolicy(Qt::NoFocus);
  introLabel_ = new Label(QString(), 12, Qt::black, Qt::AlignCenter, view);

  QObject::connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                   [this] { controller_.tableViewSelectionDidChange(selectedTableRow()); });
  QObject::connect(addButton_, &QToolButton::clicked, view, [this] { controller_.addButtonTap().onNext(); });
  QObject::connect(removeButton_, &QToolButton::clicked, view, [this] { controller_.removeButtonTap().onNext(); });
  QObject::connect(snapshotButton_, &QPushButton::clicked, view,
                   [this] { controller_.snapshotButtonTap().onNext(); });
  owned_.setLayoutSubviews([this] { layoutSubviews(); });
}

void QtWorkspaceListView::addDetailView(WorkspaceDetailView* detail) {
  auto* qtDetail = dynamic_cast<QtWorkspaceDetailView*>(detail);
  if (!qtDetail || !qtDetail->widget() || !widget()) return;
  detail_ = qtDetail->widget();
  detail_->setParent(widget());
  introLabel_->raise();
  layoutSubviews();
  qtDetail->refresh();
}

void QtWorkspaceListView::reloadData() {
  const auto& workspaces = controller_.workspaces();
  reloadNameRows(*tableView_, workspaces.size(), [&](std::size_t row) { return workspaces[row]->name(); },
                 controller_.selectedRow());
}

// A workspace row is drawn as a layout row is: one name at (10, 2), 200 × 20, size 14.
void QtWorkspaceListView::reloadRow(std::size_t row) {
  const auto& workspaces = controller_.workspaces();
  if (row < workspaces.size()) replaceNameCell(*tableView_, row, workspaces[row]->name());
}

void QtWorkspaceListView::selectRow(int row) {
  selectOnlyRow(*tableView_, row, true);
}

void QtWorkspaceListView::setIntroHidden(bool hidden) { introLabel_->setVisible(!hidden); }

void QtWorkspaceListView::setSnapshotEnabled(bool enabled) { snapshotButton_->setEnabled(enabled); }

QLabel* QtWorkspaceListView::labelAt(int row) const {
  auto* cell = dynamic_cast<CustomLayoutTableCellView*>(tableView_->cellWidget(row, 0));
  return cell ? cell->label() : nullptr;
}

int QtWorkspaceListView::selectedTableRow() const {
  return selectedRow(*tableView_);
}

void QtWorkspaceListView::layoutSubviews() {
  QWidget* view = owned_.widget();
  if (!view) return;
  const int width = view->width();
  const int height = view->height();
  tableView_->setGeometry(0, 0, 200, std::max(0, height - 40));
  addButton_->setGeometry(5, tableView_->geometry().bottom() + 1 + 10, 20, 20);
  removeButton_->setGeometry(addButton_->geometry().right() + 1 + 5, addButton_->y(), 20, 20);
  line_->setGeometry(200, 0, 1, height + 5);
  const int snapshotLeft = removeButton_->geometry().right() + 1 + 10;
  snapshotButton_->setGeometry(snapshotLeft, removeButton_->y(), line_->x() - 10 - snapshotLeft, 20);
  const QRect detail(201, 0, std::max(0, width - 201), height);
  if (detail_) detail_->setGeometry(detail);
  introLabel_->adjustSize();
  introLabel_->move(detail.center().x() - introLabel_->width() / 2, 20);
}

}  // namespace tilvane
