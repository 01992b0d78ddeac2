#include "WorkspaceLayout/Qt/WorkspaceItemTableCellView.h"

#include <algorithm>
#include <QPixmap>

#include "RuleLayout/Qt/AppImages.h"
#include "UI/Widgets/Elision.h"

namespace tilvane {

WorkspaceItemTableCellView::WorkspaceItemTableCellView(const QRect& frame, QWidget* parent)
    : QWidget(parent), icon_(new QLabel(this)), name_(new QLabel(this)) {
  setGeometry(frame);
  icon_->setGeometry(kIconInset, kIconInset, kIconSide, kIconSide);
  icon_->setScaledContents(true);
  name_->setTextFormat(Qt::PlainText);
  elide();
}

void WorkspaceItemTableCellView::setName(const std::string& text, bool found) {
  fullName_ = QString::fromStdString(text);
  name_->setStyleSheet(found ? QString() : QStringLiteral("color: gray;"));
  elide();
}

void WorkspaceItemTableCellView::resizeEvent(QResizeEvent*) { elide(); }

void WorkspaceItemTableCellView::elide() {
  constexpr int kGap = 8;
  const int left = kIconInset + kIconSide + kGap;
  const int width = std::max(0, this->width() - left - kGap);
  name_->setGeometry(left, kIconInset, width, kIconSide);
  showElided(*name_, fullName_);
}

void WorkspaceItemTableCellView::setIcon(const std::optional<std::string>& path) {
  const QPixmap image = declaredAppImage(path.value_or(""), kIconSide);
  icon_->setPixmap(image);
  shown_ = image.isNull() ? Image::none : Image::file;
  if (!image.isNull() || !path) return;
  const bool finder = *path == "Finder";
  icon_->setPixmap(namedAppImage(finder ? "Finder.png" : "MacApp.png", kIconSide));
  shown_ = finder ? Image::finder : Image::genericApp;
}

}  // namespace tilvane
