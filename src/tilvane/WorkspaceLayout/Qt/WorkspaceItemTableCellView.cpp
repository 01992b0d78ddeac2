#include "WorkspaceLayout/Qt/WorkspaceItemTableCellView.h"

#include <QPixmap>

#include "Shell/MenuBar/Tray/NamedImages.h"

namespace tilvane {
namespace {

QPixmap named(const std::string& name) {
  return namedImage(name, false, {}).pixmap(WorkspaceItemTableCellView::kIconSide,
                                           WorkspaceItemTableCellView::kIconSide);
}

}  // namespace

WorkspaceItemTableCellView::WorkspaceItemTableCellView(const QRect& frame, QWidget* parent)
    : QWidget(parent), icon_(new QLabel(this)) {
  setGeometry(frame);
  icon_->setGeometry(kIconInset, kIconInset, kIconSide, kIconSide);
  icon_->setScaledContents(true);
}

void WorkspaceItemTableCellView::setIcon(const std::optional<std::string>& path) {
  const QPixmap image(QString::fromStdString(path.value_or("")));
  icon_->setPixmap(image);
  shown_ = image.isNull() ? Image::none : Image::file;
  if (!image.isNull() || !path) return;
  // The artwork of "Finder.png" and "MacApp.png" is ours, drawn as SVG.
  const bool finder = *path == "Finder";
  icon_->setPixmap(named(finder ? "Finder" : "MacApp"));
  shown_ = finder ? Image::finder : Image::genericApp;
}

}  // namespace tilvane
