#include "RuleLayout/Qt/AppRuleDetailViewController.h"

#include <QFontMetrics>
#include <algorithm>

#include "Models/RuleLayoutType.h"
#include "RuleLayout/Qt/AppImages.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

constexpr int kLogoSide = 30;
constexpr int kTitleWidth = 500;

QLabel* caption(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(QString::fromStdString(text), parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

QComboBox* countPopUp(QWidget* parent) {
  auto* popUp = new QComboBox(parent);
  popUp->setFocusPolicy(Qt::NoFocus);
  for (int count = 1; count <= 8; ++count) popUp->addItem(QString::number(count));
  return popUp;
}

// Places `widget` at `x` with its natural size, its centre on `centreY`.
void placeCentred(QWidget* widget, int x, int centreY, int width = -1) {
  const QSize natural = widget->sizeHint();
  const int w = width < 0 ? natural.width() : width;
  widget->setGeometry(x, centreY - natural.height() / 2, w, natural.height());
}

}  // namespace

void AppRuleDetailViewController::setupUI() {
  QWidget& root = view();
  componentsContainer = new QWidget(&root);

  logoImage = new QLabel(componentsContainer);
  logoImage->setScaledContents(true);

  titleLabel = new QLabel(componentsContainer);
  titleLabel->setTextFormat(Qt::PlainText);
  QFont titleFont = titleLabel->font();
  titleFont.setPixelSize(30);
  titleLabel->setFont(titleFont);
  QPalette titlePalette = titleLabel->palette();
  titlePalette.setColor(QPalette::WindowText, QColor(85, 85, 85));
  titleLabel->setPalette(titlePalette);

  line = new QWidget(componentsContainer);
  line->setAutoFillBackground(true);
  QPalette linePalette = line->palette();
  linePalette.setColor(QPalette::Window, QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.3f));
  line->setPalette(linePalette);

  ruleTitleLable = caption(NSLocalizedString("LayoutRule"), componentsContainer);
  rulePopUpButton = new ElidingComboBox(componentsContainer);
  rulePopUpButton->setFocusPolicy(Qt::NoFocus);
  for (const std::string_view key : ruleLayoutTypes.titleKeys)
    rulePopUpButton->addItem(QString::fromStdString(NSLocalizedString(key)));

  rowTitleLable = caption(NSLocalizedString("RowLabel"), componentsContainer);
  rowPopUpButton = countPopUp(componentsContainer);
  columnTitleLable = caption(NSLocalizedString("ColumnLabel"), componentsContainer);
  columnPopUpButton = countPopUp(componentsContainer);
  fixPositionMatrixView = new QtMatrixView(editor_.fixPositionMatrixView(), componentsContainer);
  arrangedMatrixView = new QtMatrixView(editor_.arrangedMatrixView(), componentsContainer);
  for (QWidget* hidden : std::initializer_list<QWidget*>{rowTitleLable, rowPopUpButton, columnTitleLable,
                                                         columnPopUpButton, fixPositionMatrixView, arrangedMatrixView,
                                                         componentsContainer})
    hidden->setVisible(false);
  root.installEventFilter(&resizeHook_);
}

void AppRuleDetailViewController::setupLayout() { placeControls(); }

void AppRuleDetailViewController::placeControls() {
  const QSize size = view().size();
  componentsContainer->setGeometry(0, 0, size.width(), size.height());
  logoImage->setGeometry(0, 10, kLogoSide, kLogoSide);
  placeCentred(titleLabel, kLogoSide + 10, 10 + kLogoSide / 2, kTitleWidth);
  line->setGeometry(0, 10 + kLogoSide + 5, size.width(), 1);
  const int ruleTop = line->geometry().bottom() + 1 + 10;
  ruleTitleLable->setGeometry(0, ruleTop, 100, ruleTitleLable->sizeHint().height());
  const int ruleCentre = ruleTitleLable->geometry().center().y();
  // As wide as its longest entry where the pane has room (at least 200); narrower, the entry ends in "…".
  const int ruleWidth = std::clamp(rulePopUpButton->sizeHint().width(), 200, std::max(200, size.width() - 105 - 20));
  placeCentred(rulePopUpButton, 105, ruleCentre, ruleWidth);
  const int rowTop = ruleTitleLable->geometry().bottom() + 1 + 15;
  rowTitleLable->setGeometry(100 - 60, rowTop, 60, rowTitleLable->sizeHint().height());
  const int rowCentre = rowTitleLable->geometry().center().y();
  placeCentred(rowPopUpButton, 105, rowCentre);
  placeCentred(columnTitleLable, rowPopUpButton->geometry().right() + 1 + 20, rowCentre, 60);
  placeCentred(columnPopUpButton, columnTitleLable->geometry().right() + 1 + 5, rowCentre);
  const int gridTop = rowPopUpButton->geometry().bottom() + 1 + 15;
  fixPositionMatrixView->move(105, gridTop);
  arrangedMatrixView->move(105, gridTop);
}

void AppRuleDetailViewController::setupViewModel() {
  QObject::connect(rulePopUpButton, &QComboBox::activated, &connections_,
                   [this](int index) { editor_.saveRuleType(index); });
  QObject::connect(rowPopUpButton, &QComboBox::activated, &connections_,
                   [this](int index) { editor_.saveRows(index); });
  QObject::connect(columnPopUpButton, &QComboBox::activated, &connections_,
                   [this](int index) { editor_.saveColumns(index); });
  editor_.setRefresh([this] { render(); });
  editor_.bind();
}

void AppRuleDetailViewController::render() {
  if (const auto& app = editor_.app()) {
    const QString name = QString::fromStdString(app->name);
    titleLabel->setText(QFontMetrics(titleLabel->font()).elidedText(name, Qt::ElideMiddle, kTitleWidth));
    logoImage->setPixmap(appImage(*app, "Finder.png", kLogoSide));
  }
  rulePopUpButton->setCurrentIndex(editor_.ruleIndex());
  const bool counts = editor_.gridControlsVisible();
  for (QWidget* control : std::initializer_list<QWidget*>{rowTitleLable, rowPopUpButton, columnTitleLable,
                                                          columnPopUpButton})
    control->setVisible(counts);
  rowPopUpButton->setCurrentIndex(editor_.rowIndex());
  columnPopUpButton->setCurrentIndex(editor_.columnIndex());
  fixPositionMatrixView->setVisible(editor_.visibleGrid() == AppRuleEditor::Grid::fixed);
  arrangedMatrixView->setVisible(editor_.visibleGrid() == AppRuleEditor::Grid::arranged);
  componentsContainer->setVisible(editor_.containerVisible());
}

}  // namespace tilvane
