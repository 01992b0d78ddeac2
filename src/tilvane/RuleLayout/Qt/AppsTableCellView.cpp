#include "RuleLayout/Qt/AppsTableCellView.h"

#include <algorithm>

#include "UI/Widgets/Elision.h"

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
  name_ = QString::fromStdString(name);
  fitName();
}

void AppsTableCellView::resizeEvent(QResizeEvent*) { fitName(); }

void AppsTableCellView::fitName() {
  // At most 200 wide, and never past the row's end, so a long name ends in "…" where it is cut.
  constexpr int kRightMargin = 6;
  label_->resize(std::clamp(width() - label_->x() - kRightMargin, 0, 200), label_->height());
  showElided(*label_, name_);
}

}  // namespace tilvane
