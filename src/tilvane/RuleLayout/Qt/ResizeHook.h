#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

namespace tilvane {

/// Runs a function each time the widget it watches is resized: the pane's views place their controls by
/// fixed rules relative to the view's size.
class ResizeHook final : public QObject {
 public:
  explicit ResizeHook(std::function<void()> onResize) : onResize_(std::move(onResize)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) onResize_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> onResize_;
};

}  // namespace tilvane
