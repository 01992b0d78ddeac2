#include "UI/Widgets/TextButton.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QTextBoundaryFinder>

namespace tilvane {
namespace {

int graphemeCount(const QString& text) {
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  int count = 0;
  while (finder.toNextBoundary() != -1) ++count;
  return count;
}

}  // namespace

void TextButtonBackground::setColor(const QColor& color) {
  color_ = color;
  update();
}

void TextButtonBackground::setAlphaValue(double alpha) {
  alpha_ = alpha;
  update();
}

void TextButtonBackground::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setOpacity(alpha_);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color_);
  painter.drawRoundedRect(rect(), 5.0, 5.0);
}

TextButton::TextButton(const QString& title, const QColor& textColor, const QColor& backgroundColor, double width,
                       double height, QWidget* parent)
    : QWidget(parent), textField_(new QLabel(this)), backgroundView_(new TextButtonBackground(this)) {
  textField_->setText(title);
  backgroundView_->setColor(backgroundColor);
  setColors(textColor, backgroundColor);
  resize(static_cast<int>(width), static_cast<int>(height));
  setAlphaValue(1.0);
  setupView();
  setupLayout();
}

void TextButton::setAlphaValue(double alpha) {
  alphaValue_ = alpha;
  if (!opacity_) {
    opacity_ = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(opacity_);
  }
  opacity_->setOpacity(alpha);
}

void TextButton::setupView() {
  backgroundView_->setAlphaValue(0.6);
  backgroundView_->lower();
  QFont font = textField_->font();
  font.setBold(true);
  font.setPixelSize(14);
  textField_->setFont(font);
  textField_->setWordWrap(false);
  textField_->setAttribute(Qt::WA_TranslucentBackground);
  textField_->setTextInteractionFlags(Qt::NoTextInteraction);
  textField_->setAlignment(Qt::AlignCenter);
  textField_->setAttribute(Qt::WA_TransparentForMouseEvents);
  textField_->raise();  // the title lies above the background
  setMouseTracking(true);
}

void TextButton::setupLayout() {
  // Measured once: a later title keeps the offset of the first.
  titleOffset_ = graphemeCount(textField_->text()) == 1 ? 2 : 0;
  textField_->adjustSize();
  if (width() == 0 && height() == 0)
    resize(textField_->width() + 10, textField_->height() + 5);
  placeTitle();
}

void TextButton::placeTitle() {
  backgroundView_->setGeometry(rect());
  textField_->adjustSize();
  const QSize label = textField_->size();
  textField_->move((width() - label.width()) / 2, (height() - label.height()) / 2 + titleOffset_);
}

void TextButton::setTitle(const QString& title) {
  const int titleWidth = textField_->width();
  const bool fitted = width() == titleWidth + 10;
  textField_->setText(title);
  textField_->adjustSize();
  if (!fitted) resize(textField_->width() + 10, textField_->height() + 10);
  placeTitle();
}

void TextButton::setColors(const QColor& textColor, const QColor& backgroundColor) {
  QPalette palette = textField_->palette();
  palette.setColor(QPalette::WindowText, textColor);
  textField_->setPalette(palette);
  backgroundView_->setColor(backgroundColor);
}

void TextButton::setVisible(bool visible) {
  QWidget::setVisible(visible);
  backgroundView_->setAlphaValue(visible ? 0.6 : 0.3);
}

void TextButton::enterEvent(QEnterEvent*) {
  if (!isEnabled()) return;
  backgroundView_->setAlphaValue(0.8);
  setCursor(Qt::PointingHandCursor);
}

void TextButton::leaveEvent(QEvent*) {
  backgroundView_->setAlphaValue(0.6);
  setCursor(Qt::ArrowCursor);
}

void TextButton::mousePressEvent(QMouseEvent*) {
  backgroundView_->setAlphaValue(1.0);
  if (isEnabled()) rxTap_.onNext(rx::Unit{});
}

void TextButton::mouseReleaseEvent(QMouseEvent*) {
  if (isEnabled()) backgroundView_->setAlphaValue(0.6);
}

void TextButton::resizeEvent(QResizeEvent*) { placeTitle(); }

}  // namespace tilvane
