#include "VkKit/Qt/QtViewController.h"

#include <QEvent>

namespace tilvane {

QWidget& QtViewController::view() {
  loadViewIfNeeded();
  return *view_;
}

void QtViewController::loadView() {
  view_ = std::make_unique<QWidget>();
  view_->resize(0, 0);
  view_->installEventFilter(&filter_);
}

bool QtViewController::LayoutPassFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Polish || event->type() == QEvent::LayoutRequest) owner_.updateViewConstraints();
  return QObject::eventFilter(watched, event);
}

}  // namespace tilvane
