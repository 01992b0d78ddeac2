#include "RuleLayout/Qt/AppsTableCellView.h"

namespace tilvane {

AppsTableCellView::AppsTableCellView(QWidget* parent)
    : QWidget(parent), icon_(new QLabel(this)), label_(new QLabel(this)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  icon_->setGeometry(10, 4, 22, 22);
  icon_->setScaledContents(true);
  label_->setGeometry(40, 5, 200, 20);
  label_->setTextFormat(Qt::PlainText);
  QFont font = label_->font();
  font.setPixelSize(14);
  label_->setFont(font);
}

void AppsTableCellView::configure(const QPixmap& image, const std::string& name) {
  icon_->setPixmap(image);
  label_->setText(QString::fromStdString(name));
}

}  // namespace tilvane
