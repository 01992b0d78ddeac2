#include "WorkspaceLayout/Qt/WorkspaceItemTableCellView.h"

#include <QPixmap>

#include "RuleLayout/Qt/AppImages.h"

namespace tilvane {

WorkspaceItemTableCellView::WorkspaceItemTableCellView(const QRect& frame, QWidget* parent)
    : QWidget(parent), icon_(new QLabel(this)) {
  setGeometry(frame);
  icon_->setGeometry(kIconInset, kIconInset, kIconSide, kIconSide);
  icon_->setScaledContents(true);
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
