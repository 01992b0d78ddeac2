#include "UI/Widgets/Label.h"

#include <QPalette>

namespace tilvane {

Label::Label(const QString& text, int fontSize, const QColor& textColor, Qt::Alignment alignment, QWidget* parent)
    : QLabel(parent) {
  QFont font = this->font();
  font.setPixelSize(fontSize);
  setFont(font);
  setWordWrap(false);  // one line
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, textColor);
  setPalette(palette);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TranslucentBackground);
  setText(text);
  setTextInteractionFlags(Qt::NoTextInteraction);
  setAlignment(alignment);
}

}  // namespace tilvane
