#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "VkKit/VkRxViewController.h"

namespace tilvane {

/// The widget of a controller's view. It places its subwidgets (`layoutSubviews`) whenever it is polished,
/// resized or asked to lay out, and its first polish is the controller's first layout pass; an inner container
/// named with `layOutOnRequestsOf` passes on its own requests (a child whose size hint changed). The widget may
/// be put inside another one; whoever ends first, it is deleted once.
class OwnedWidget final : public QObject {
 public:
  explicit OwnedWidget(VkRxViewController& controller) : controller_(controller), widget_(new QWidget) {
    widget_->installEventFilter(this);
  }
  ~OwnedWidget() override {
    layoutSubviews_ = nullptr;
    if (widget_) widget_->removeEventFilter(this);
    delete widget_.data();
  }
  OwnedWidget(const OwnedWidget&) = delete;
  OwnedWidget& operator=(const OwnedWidget&) = delete;

  /// Null once something else deleted the widget.
  QWidget* widget() const { return widget_; }
  /// Set once the subwidgets exist.
  void setLayoutSubviews(std::function<void()> layout) {
    layoutSubviews_ = std::move(layout);
    if (layoutSubviews_) layoutSubviews_();
  }
  /// Lays out again when a child of `container` (a widget inside the view, deleted with it) asks for it.
  void layOutOnRequestsOf(QWidget* container) { container->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const auto type = event->type();
    if (watched != widget_) {
      if (layoutSubviews_ && type == QEvent::LayoutRequest) layoutSubviews_();
      return QObject::eventFilter(watched, event);
    }
    if (type == QEvent::Polish) controller_.updateViewConstraints();
    if (layoutSubviews_ && (type == QEvent::Polish || type == QEvent::Resize || type == QEvent::LayoutRequest))
      layoutSubviews_();
    return QObject::eventFilter(watched, event);
  }

 private:
  VkRxViewController& controller_;
  QPointer<QWidget> widget_;
  std::function<void()> layoutSubviews_;
};

}  // namespace tilvane
