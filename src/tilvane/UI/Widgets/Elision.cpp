#include "UI/Widgets/Elision.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace tilvane {

void showElided(QLabel& label, const QString& text) {
  label.setText(label.fontMetrics().elidedText(text, Qt::ElideRight, label.width()));
  label.setToolTip(label.text() == text ? QString() : text);
}

ElidingComboBox::ElidingComboBox(QWidget* parent) : QComboBox(parent) {
  QObject::connect(this, &QComboBox::currentTextChanged, this, [this](const QString& text) {
    setToolTip(shownText() == text ? QString() : text);
  });
}

int ElidingComboBox::textWidth() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width();
}

QString ElidingComboBox::shownText() const {
  return fontMetrics().elidedText(currentText(), Qt::ElideRight, textWidth());
}

void ElidingComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText = shownText();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace tilvane
