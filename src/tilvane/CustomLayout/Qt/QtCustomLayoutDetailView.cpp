#include "CustomLayout/Qt/QtCustomLayoutDetailView.h"

#include <QSignalBlocker>
#include <algorithm>

#include "UI/Widgets/WindowAlert.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

QString localized(const char* key) { return QString::fromStdString(NSLocalizedString(key)); }

QLabel* caption(const char* key, Qt::Alignment alignment, QWidget* parent) {
  auto* label = new QLabel(localized(key), parent);
  label->setAlignment(alignment | Qt::AlignVCenter);
  label->setAttribute(Qt::WA_TranslucentBackground);
  return label;
}

QComboBox* countPopUp(QWidget* parent) {
  auto* popUp = new QComboBox(parent);
  popUp->setFocusPolicy(Qt::NoFocus);
  for (int count = 1; count <= 8; ++count) popUp->addItem(QString::number(count));
  return popUp;
}

int centredTop(const QWidget& on, int height) { return on.geometry().center().y() - height / 2; }

}  // namespace

QtCustomLayoutDetailView::QtCustomLayoutDetailView(CustomLayoutDetailViewController& controller)
    : controller_(controller), owned_(controller) {
  QWidget* view = owned_.widget();
  componentsContainer_ = new QWidget(view);
  QWidget* box = componentsContainer_;
  titleLabel_ = caption(l10n::key("NameLabel"), Qt::AlignRight, box);
  titleInput_ = new QLineEdit(box);
  titleInput_->setAttribute(Qt::WA_MacShowFocusRect, false);
  titleInput_->setStyleSheet("QLineEdit { background: white; border: 1px solid lightgray; }");
  shortcutLabel_ = caption(l10n::key("ShortcutKey"), Qt::AlignRight, box);
  shortcutButton_ = new MASShortcutView(box);
  ruleTitleLable_ = caption(l10n::key("LayoutRule"), Qt::AlignLeft, box);
  rulePopUpButton_ = new QComboBox(box);
  rulePopUpButton_->setFocusPolicy(Qt::NoFocus);
  for (const char* key : {l10n::key("Disabled"), l10n::key("FixedPositionAndSize"), l10n::key("MatrixArrangedLayout")})
    rulePopUpButton_->addItem(localized(key));
  rowTitleLable_ = caption(l10n::key("RowLabel"), Qt::AlignRight, box);
  rowPopUpButton_ = countPopUp(box);
  columnTitleLable_ = caption(l10n::key("ColumnLabel"), Qt::AlignRight, box);
  columnPopUpButton_ = countPopUp(box);
  fixPositionMatrixView_ = new QtMatrixView(controller.fixPositionMatrixView(), box);
  arrangedMatrixView_ = new QtMatrixView(controller.arrangedMatrixView(), box);

  // Activated also for the item already shown, as a picked menu item is; the controller drops same values.
  QObject::connect(rulePopUpButton_, &QComboBox::activated, view,
                   [&controller](int index) { controller.rulePopUpButtonAction().onNext(index); });
  QObject::connect(rowPopUpButton_, &QComboBox::activated, view,
                   [&controller](int index) { controller.rowPopUpButtonAction().onNext(index); });
  QObject::connect(columnPopUpButton_, &QComboBox::activated, view,
                   [&controller](int index) { controller.columnPopUpButtonAction().onNext(index); });
  // The user's typing only: a name shown by the controller is not sent back.
  QObject::connect(titleInput_, &QLineEdit::textEdited, view, [&controller](const QString& text) {
    controller.titleInputText().onNext(text.toStdString());
  });
  shortcutButton_->setShortcutValueChange(
      [&controller](MASShortcutView& recorder) { controller.shortcutValueChange().onNext(&recorder.recorder()); });

  refresh();
  // A refusal message under the recorder changes its height: the rows below make room.
  owned_.layOutOnRequestsOf(componentsContainer_);
  owned_.setLayoutSubviews([this] { layoutSubviews(); });
}

void QtCustomLayoutDetailView::showAlert(const std::string& message) { showWindowAlert(widget(), message); }

void QtCustomLayoutDetailView::refresh() {
  QWidget* view = owned_.widget();
  if (!view) return;
  const CustomLayoutDetailControls& controls = controller_.controls();
  view->setVisible(!controls.viewHidden);
  componentsContainer_->setVisible(!controls.containerHidden);
  const QString name = QString::fromStdString(controls.name);
  if (titleInput_->text() != name) titleInput_->setText(name);
  {
    const QSignalBlocker a(rulePopUpButton_), b(rowPopUpButton_), c(columnPopUpButton_);
    rulePopUpButton_->setCurrentIndex(controls.typeIndex);
    rowPopUpButton_->setCurrentIndex(controls.rowIndex);
    columnPopUpButton_->setCurrentIndex(controls.columnIndex);
  }
  for (QWidget* control : {static_cast<QWidget*>(rowTitleLable_), static_cast<QWidget*>(rowPopUpButton_),
                           static_cast<QWidget*>(columnTitleLable_), static_cast<QWidget*>(columnPopUpButton_)})
    control->setVisible(!controls.gridControlsHidden);
  fixPositionMatrixView_->setVisible(!controls.fixGridHidden);
  arrangedMatrixView_->setVisible(!controls.arrangedGridHidden);
  if (shortcutButton_->shortcutValue() != controls.shortcut) shortcutButton_->setShortcutValue(controls.shortcut);
  layoutSubviews();
}

void QtCustomLayoutDetailView::layoutSubviews() {
  QWidget* view = owned_.widget();
  if (!view) return;
  componentsContainer_->setGeometry(view->rect());
  const int labelHeight = titleLabel_->sizeHint().height();
  titleLabel_->setGeometry(0, 10, 100, labelHeight);
  titleInput_->setGeometry(110, centredTop(*titleLabel_, 20), 200, 20);
  shortcutLabel_->setGeometry(0, titleLabel_->geometry().bottom() + 1 + 15, 100, labelHeight);
  // The recorder's field is 24 high; a refusal message under it grows it downwards, wrapped to its width.
  constexpr int kRecorderWidth = 200;
  const int recorderHeight = std::max(24, shortcutButton_->heightForWidth(kRecorderWidth));
  shortcutButton_->setGeometry(110, centredTop(*shortcutLabel_, 24), kRecorderWidth, recorderHeight);
  const int messageHeight = recorderHeight - 24;
  ruleTitleLable_->setGeometry(0, shortcutLabel_->geometry().bottom() + 1 + 15 + messageHeight, 100, labelHeight);
  const int popUpHeight = rulePopUpButton_->sizeHint().height();
  rulePopUpButton_->setGeometry(110, centredTop(*ruleTitleLable_, popUpHeight), 200, popUpHeight);
  rowTitleLable_->setGeometry(40, ruleTitleLable_->geometry().bottom() + 1 + 15, 60, labelHeight);
  const QSize count = rowPopUpButton_->sizeHint();
  rowPopUpButton_->setGeometry(110, centredTop(*rowTitleLable_, count.height()), count.width(), count.height());
  columnTitleLable_->setGeometry(rowPopUpButton_->geometry().right() + 1 + 20, rowTitleLable_->y(), 60, labelHeight);
  columnPopUpButton_->setGeometry(columnTitleLable_->geometry().right() + 1 + 5, rowPopUpButton_->y(), count.width(),
                                  count.height());
  const int gridTop = rowPopUpButton_->geometry().bottom() + 1 + 15;
  fixPositionMatrixView_->move(110, gridTop);
  arrangedMatrixView_->move(110, gridTop);
}

}  // namespace tilvane
