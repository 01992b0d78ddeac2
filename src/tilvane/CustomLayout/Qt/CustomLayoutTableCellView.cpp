#include "CustomLayout/Qt/CustomLayoutTableCellView.h"

namespace tilvane {

CustomLayoutTableCellView::CustomLayoutTableCellView(QWidget* parent) : QWidget(parent), label_(new QLabel(this)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  label_->setGeometry(10, 2, 200, 20);
  QFont font = label_->font();
  font.setPixelSize(14);
  label_->setFont(font);
  label_->setWordWrap(false);
  label_->setTextInteractionFlags(Qt::NoTextInteraction);
  label_->setAttribute(Qt::WA_TranslucentBackground);
}

}  // namespace tilvane
