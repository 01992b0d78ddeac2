#include "Preferences/Qt/QtPaneView.h"

#include <QEvent>
#include <QPalette>

#include "UI/Widgets/WindowAlert.h"

namespace tilvane {

QtPaneView::QtPaneView(VkRxViewController& controller) : controller_(controller), widget_(new QWidget) {
  QPalette palette = widget_->palette();
  palette.setColor(QPalette::Window, QColor(0xEC, 0xEC, 0xEC));
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::ButtonText, Qt::black);
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(true);
  widget_->installEventFilter(&passes_);
}

QtPaneView::~QtPaneView() {
  ready_ = false;
  bindings_.dispose();
  if (widget_) widget_->removeEventFilter(&passes_);
  delete widget_.data();
}

void QtPaneView::subviewsReady() {
  ready_ = true;
  layoutSubviews();
}

void QtPaneView::setFrameSize(const Constants::Size& size) {
  if (!widget_) return;
  widget_->setFixedSize(static_cast<int>(size.width), static_cast<int>(size.height));
  if (ready_) layoutSubviews();
}

void QtPaneView::showAlert(const std::string& message) { showWindowAlert(widget_, message); }

bool QtPaneView::Passes::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Polish) owner_.controller_.updateViewConstraints();
  if (owner_.ready_ &&
      (event->type() == QEvent::Polish || event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
    owner_.layoutSubviews();
  return QObject::eventFilter(watched, event);
}

}  // namespace tilvane
