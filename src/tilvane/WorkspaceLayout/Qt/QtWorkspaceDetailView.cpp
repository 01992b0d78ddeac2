#include "WorkspaceLayout/Qt/QtWorkspaceDetailView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <algorithm>

#include "WorkspaceLayout/Qt/WorkspaceItemTableCellView.h"
#include "UI/Widgets/RowTable.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

QString localized(const char* key) { return QString::fromStdString(NSLocalizedString(key)); }

QFrame* rule(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setStyleSheet("background: rgba(128, 128, 128, 77);");
  return line;
}

Label* rowTitle(const char* key, QWidget* parent) {
  return new Label(localized(key), 12, Qt::darkGray, Qt::AlignRight | Qt::AlignVCenter, parent);
}

/// A path field at half strength; the end of a long path stays in sight.
QLineEdit* pathField(bool editable, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(!editable);
  field->setStyleSheet("QLineEdit { color: rgba(0, 0, 0, 128); border: 1px solid rgba(128, 128, 128, 128); }");
  return field;
}

/// The desktop's own push button, as the pane's Snapshot button: a flat grey one with a white title is how this
/// desktop draws a button that cannot be used.
QPushButton* browseButton(QWidget* parent) {
  auto* button = new QPushButton(localized(l10n::key("Browse")), parent);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QComboBox* popUp(QWidget* parent) {
  auto* button = new QComboBox(parent);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

void showText(QLineEdit& field, const QString& text) {
  if (field.text() == text) return;
  field.setText(text);
  field.setCursorPosition(static_cast<int>(text.size()));
}

void showEntries(QComboBox& popUp, const std::vector<std::string>& entries, int index) {
  const QSignalBlocker quiet(popUp);
  popUp.clear();
  for (const auto& entry : entries) popUp.addItem(QString::fromStdString(entry));
  popUp.setCurrentIndex(index < popUp.count() ? index : -1);
}

int centredTop(const QWidget& on, int height) { return on.geometry().center().y() - height / 2; }

}  // namespace

QtWorkspaceDetailView::QtWorkspaceDetailView(WorkspaceDetailViewController& controller)
    : controller_(controller), owned_(controller) {
  QWidget* view = owned_.widget();
  tableViewContainer_ = new QWidget(view);
  QWidget* list = tableViewContainer_;
  titleLabel_ = new QLabel(QStringLiteral("Space Name :"), list);
  titleLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  titleLabel_->setAttribute(Qt::WA_TranslucentBackground);
  titleInput_ = new QLineEdit(list);
  titleInput_->setAttribute(Qt::WA_MacShowFocusRect, false);
  titleInput_->setStyleSheet("QLineEdit { background: white; border: 1px solid lightgray; }");
  titleLine_ = rule(list);
  tableView_ = makeRowTable(list, static_cast<int>(WorkspaceDetailViewController::kRowHeight));
  line_ = rule(list);
  addButton_ = squareButton(QStringLiteral("+"), list);
  removeButton_ = squareButton(QString::fromUtf8("\u2212"), list);

  componentsContainer_ = new QWidget(view);
  QWidget* box = componentsContainer_;
  appTitleLabel_ = rowTitle(l10n::key("AppPath"), box);
  appLabel_ = pathField(false, box);
  appBrowserButton_ = browseButton(box);
  fileTitleLabel_ = rowTitle(l10n::key("Parameters"), box);
  fileLabel_ = pathField(true, box);
  fileBrowserButton_ = browseButton(box);
  spaceLabel_ = rowTitle(l10n::key("DesktopLabel"), box);
  spaceButton_ = popUp(box);
  screenLabel_ = rowTitle(l10n::key("DisplayLabel"), box);
  screenButton_ = popUp(box);
  layoutLable_ = rowTitle(l10n::key("Layout"), box);
  layoutView_ = new QtMatrixView(controller.layoutView(), box);

  QObject::connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                   [this] { controller_.tableViewSelectionDidChange(selectedTableRow()); });
  QObject::connect(addButton_, &QToolButton::clicked, view, [&controller] { controller.addButtonTap().onNext(); });
  QObject::connect(removeButton_, &QToolButton::clicked, view,
                   [&controller] { controller.removeButtonTap().onNext(); });
  // Activated also for the entry already shown, as a picked menu item is.
  QObject::connect(spaceButton_, &QComboBox::activated, view,
                   [&controller](int index) { controller.spaceButtonAction().onNext(index); });
  QObject::connect(screenButton_, &QComboBox::activated, view,
                   [&controller](int index) { controller.screenButtonAction().onNext(index); });
  // The user's typing only: text shown by the controller is not sent back.
  QObject::connect(titleInput_, &QLineEdit::textEdited, view,
                   [&controller](const QString& text) { controller.titleInputText().onNext(text.toStdString()); });
  QObject::connect(fileLabel_, &QLineEdit::textEdited, view,
                   [&controller](const QString& text) { controller.fileLabelText().onNext(text.toStdString()); });
  QObject::connect(appBrowserButton_, &QPushButton::clicked, view,
                   [&controller] { controller.appBrowserButtonTap().onNext(); });
  QObject::connect(fileBrowserButton_, &QPushButton::clicked, view,
                   [&controller] { controller.fileBrowserButtonTap().onNext(); });

  refresh();
  owned_.setLayoutSubviews([this] { layoutSubviews(); });
}

void QtWorkspaceDetailView::refresh() {
  QWidget* view = owned_.widget();
  if (!view) return;
  const WorkspaceDetailControls& controls = controller_.controls();
  view->setVisible(!controls.viewHidden);
  tableViewContainer_->setVisible(!controls.tableHidden);
  componentsContainer_->setVisible(!controls.componentsHidden);
  const QString name = QString::fromStdString(controls.name);
  if (titleInput_->text() != name) titleInput_->setText(name);
  showEntries(*spaceButton_, controls.spaceEntries, controls.spaceIndex);
  showEntries(*screenButton_, controls.screenEntries, controls.screenIndex);
  showText(*appLabel_, QString::fromStdString(controls.appPath));
  showText(*fileLabel_, QString::fromStdString(controls.filePath));
  layoutView_->update();
}

void QtWorkspaceDetailView::reloadItems() {
  const QSignalBlocker quiet(tableView_->selectionModel());
  tableView_->clearSelection();
  resetRows(*tableView_, static_cast<int>(controller_.numberOfRows()));
  for (int row = 0; row < tableView_->rowCount(); ++row) reloadItemRow(row);
  const int selected = controller_.controls().selectedItemRow;
  if (selected >= 0 && selected < tableView_->rowCount()) {
    tableView_->selectRow(selected);
    tableView_->scrollTo(tableView_->model()->index(selected, 0));
  } else {
    tableView_->scrollToTop();
  }
}

void QtWorkspaceDetailView::refreshSelectedItemIcon() {
  const int row = controller_.controls().selectedItemRow;
  if (WorkspaceItemTableCellView* cell = cellAt(row)) showItem(*cell, row);
}

void QtWorkspaceDetailView::reloadItemRow(int row) {
  auto* cell = new WorkspaceItemTableCellView;
  cell->setAttribute(Qt::WA_TransparentForMouseEvents);
  showItem(*cell, row);
  replaceRowCell(*tableView_, row, cell);
}

void QtWorkspaceDetailView::showItem(WorkspaceItemTableCellView& cell, int row) const {
  const ItemApplication application = controller_.itemApplication(static_cast<std::size_t>(row));
  cell.setIcon(application.icon);
  cell.setName(itemRowText(application), application.found);
}

WorkspaceItemTableCellView* QtWorkspaceDetailView::cellAt(int row) const {
  if (row < 0 || row >= tableView_->rowCount()) return nullptr;
  return dynamic_cast<WorkspaceItemTableCellView*>(tableView_->cellWidget(row, 0));
}

int QtWorkspaceDetailView::selectedTableRow() const {
  return selectedRow(*tableView_);
}

void QtWorkspaceDetailView::layoutSubviews() {
  QWidget* view = owned_.widget();
  if (!view) return;
  const int width = view->width();
  const int height = view->height();
  tableViewContainer_->setGeometry(view->rect());
  titleLabel_->setGeometry(0, 10, 100, titleLabel_->sizeHint().height());
  titleInput_->setGeometry(110, centredTop(*titleLabel_, 20), std::max(0, width - 20 - 110), 20);
  titleLine_->setGeometry(0, titleInput_->geometry().bottom() + 1 + 10, width, 1);
  const int listTop = titleLine_->geometry().bottom() + 1 + 1;
  // Wide enough for an application's name beside its icon.
  constexpr int kListWidth = 150;
  tableView_->setGeometry(0, listTop, kListWidth, std::max(0, height - 40 - listTop));
  addButton_->setGeometry(5, tableView_->geometry().bottom() + 1 + 10, 20, 20);
  removeButton_->setGeometry(addButton_->geometry().right() + 1 + 5, addButton_->y(), 20, 20);
  line_->setGeometry(kListWidth, listTop, 1, std::max(0, height + 5 - listTop));

  // The item editor begins right of the list's line, never over the list.
  const int left = line_->geometry().right() + 1;
  componentsContainer_->setGeometry(left, 50, std::max(0, width - left), std::max(0, height - 50));
  const int boxWidth = componentsContainer_->width();
  const int labelHeight = appTitleLabel_->sizeHint().height();
  int top = 30;
  for (Label* title : {appTitleLabel_, fileTitleLabel_, spaceLabel_, screenLabel_, layoutLable_}) {
    title->setGeometry(0, top, 80, labelHeight);
    top = title->geometry().bottom() + 1 + 30;
  }
  const int controlsLeft = appTitleLabel_->geometry().right() + 1 + 10;
  const int fieldHeight = std::max(20, appLabel_->sizeHint().height());
  // The path fields take what the Browse buttons leave.
  const int browseWidth = std::max(60, appBrowserButton_->sizeHint().width());
  const int fieldWidth = std::max(120, boxWidth - 20 - browseWidth - 10 - controlsLeft);
  appLabel_->setGeometry(controlsLeft, centredTop(*appTitleLabel_, fieldHeight), fieldWidth, fieldHeight);
  const int browseLeft = appLabel_->geometry().right() + 1 + 10;
  appBrowserButton_->setGeometry(browseLeft, centredTop(*appTitleLabel_, 20), browseWidth, 20);
  fileLabel_->setGeometry(controlsLeft, centredTop(*fileTitleLabel_, fieldHeight), fieldWidth, fieldHeight);
  fileBrowserButton_->setGeometry(browseLeft, centredTop(*fileTitleLabel_, 20), browseWidth, 20);
  spaceButton_->setGeometry(controlsLeft, centredTop(*spaceLabel_, 20), 120, 20);
  screenButton_->setGeometry(controlsLeft, centredTop(*screenLabel_, 20), 120, 20);
  layoutView_->move(controlsLeft, layoutLable_->y());
}

}  // namespace tilvane
