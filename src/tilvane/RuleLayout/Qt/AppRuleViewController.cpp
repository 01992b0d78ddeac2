#include "RuleLayout/Qt/AppRuleViewController.h"

#include <QHeaderView>

#include "AppManager/Settings/Constants.h"
#include "RuleLayout/Qt/AppImages.h"
#include "RuleLayout/Qt/AppsTableCellView.h"
#include "RuleLayout/Qt/QtAppChooser.h"
#include "UI/Widgets/DialogFocus.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {
constexpr int kRowHeight = 30;
constexpr int kCellIconSide = 22;
}  // namespace

AppRuleViewController::AppRuleViewController()
    : AppRuleViewController(std::make_unique<QtAppChooser>([this] { return view().window(); })) {}

AppRuleViewController::AppRuleViewController(std::unique_ptr<AppChooser> chooser) : list_(std::move(chooser)) {}

void AppRuleViewController::setupUI() {
  QWidget& root = view();
  const Constants::Size size = Constants::Advanced::appsPaneSize();
  root.resize(static_cast<int>(size.width), static_cast<int>(size.height));
  list_.load();

  searchTextField = new InputTextField(&root);
  searchTextField->setClearButtonEnabled(true);

  tableView = new QTableWidget(&root);
  tableView->setColumnCount(1);
  tableView->horizontalHeader()->hide();
  tableView->horizontalHeader()->setStretchLastSection(true);
  tableView->verticalHeader()->hide();
  tableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  tableView->verticalHeader()->setDefaultSectionSize(kRowHeight);
  tableView->setSelectionMode(QAbstractItemView::SingleSelection);
  tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
  tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tableView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  tableView->setShowGrid(false);
  reloadData();

  addButton = new QToolButton(&root);
  addButton->setText("+");
  addButton->setFocusPolicy(Qt::NoFocus);

  line = new QWidget(&root);
  line->setAutoFillBackground(true);
  QPalette linePalette = line->palette();
  linePalette.setColor(QPalette::Window, QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.3f));
  line->setPalette(linePalette);

  deatilViewController.view().setParent(&root);
  deatilViewController.view().show();
  root.installEventFilter(&resizeHook_);
}

void AppRuleViewController::setupLayout() {
  placeControls();
  // The editor's own first pass comes with its first layout request; its size is known from here on.
  deatilViewController.updateViewConstraints();
}

void AppRuleViewController::placeControls() {
  const QSize size = view().size();
  searchTextField->setGeometry(5, 5, 200, searchTextField->sizeHint().height());
  const int listTop = searchTextField->geometry().bottom() + 1 + 5;
  const int listRight = searchTextField->geometry().right() + 1 + 5;
  tableView->setGeometry(0, listTop, listRight, std::max(0, size.height() - 40 - listTop));
  addButton->setGeometry(5, tableView->geometry().bottom() + 1 + 10, 20, 20);
  line->setGeometry(listRight, 0, 1, size.height() + 5);
  deatilViewController.view().setGeometry(listRight + 20, 10, std::max(0, size.width() - 20 - (listRight + 20)),
                                          std::max(0, size.height() - 10));
}

void AppRuleViewController::setupViewModel() {
  filter(searchTextField->text());
  QObject::connect(searchTextField, &QLineEdit::textChanged, &connections_,
                   [this](const QString& text) { filter(text); });
  QObject::connect(addButton, &QToolButton::clicked, &connections_, [this] { add(); });
  QObject::connect(tableView, &QTableWidget::itemSelectionChanged, &connections_, [this] {
    const QModelIndexList rows = tableView->selectionModel()->selectedRows();
    list_.selectionDidChange(rows.isEmpty() ? -1 : rows.front().row());
  });
}

void AppRuleViewController::reloadData() {
  const auto& apps = list_.apps();
  tableView->setRowCount(0);
  tableView->setRowCount(static_cast<int>(apps.size()));
  for (std::size_t row = 0; row < apps.size(); ++row) {
    auto* cell = new AppsTableCellView();
    cell->configure(appImage(apps[row], "Finder", kCellIconSide), apps[row].name);
    tableView->setCellWidget(static_cast<int>(row), 0, cell);
  }
}

void AppRuleViewController::filter(const QString& text) {
  list_.filter(text.toStdString());
  reloadData();
}

void AppRuleViewController::add() {
  switch (list_.add()) {
    case AppRuleList::AddResult::cancelled:
      return;
    case AppRuleList::AddResult::unsupported:
      showUnsupportedAlert();
      return;
    case AppRuleList::AddResult::added: {
      reloadData();
      const int last = tableView->rowCount() - 1;
      tableView->selectRow(last);
      tableView->scrollTo(tableView->model()->index(last, 0));
      return;
    }
  }
}

void AppRuleViewController::showUnsupportedAlert() {
  // A sheet on the pane's window: it blocks that window only, and nothing follows its dismissal.
  auto* alert = new QMessageBox(QMessageBox::Warning, QString(), QString::fromStdString(NSLocalizedString("UnsupportType")),
                                QMessageBox::NoButton, view().window());
  alert->addButton(QString::fromStdString(NSLocalizedString("Close")), QMessageBox::AcceptRole);
  alert->setWindowModality(Qt::WindowModal);
  alert->setAttribute(Qt::WA_DeleteOnClose);
  takeKeyboardWhenShown(*alert);
  alert_ = alert;
  alert->open();
}

}  // namespace tilvane
