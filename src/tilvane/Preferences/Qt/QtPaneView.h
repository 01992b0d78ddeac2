#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "Preferences/PaneView.h"
#include "VkKit/VkRxViewController.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// A pane's view as a Qt widget, fixed at the pane's size, drawn with black text on a light ground as the panes
/// are designed. The widget's first polish is the controller's first layout pass. The pane window shows the
/// widget while the view lives; whoever ends first, nothing is deleted twice.
class QtPaneView : public PaneView {
 public:
  ~QtPaneView() override;
  QtPaneView(const QtPaneView&) = delete;
  QtPaneView& operator=(const QtPaneView&) = delete;

  void setFrameSize(const Constants::Size& size) override;
  void showAlert(const std::string& message) override;
  /// The view's widget; null once something else deleted it.
  QWidget* widget() const { return widget_; }

 protected:
  explicit QtPaneView(VkRxViewController& controller);
  /// Places the subwidgets for the widget's current size.
  virtual void layoutSubviews() = 0;
  /// Called by the subclass once its subwidgets exist: layout passes reach layoutSubviews() from then on.
  void subviewsReady();
  /// Subscriptions to the pane's controls, ended with the view.
  rx::DisposeBag& bindings() { return bindings_; }

 private:
  class Passes final : public QObject {
   public:
    explicit Passes(QtPaneView& owner) : owner_(owner) {}
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    QtPaneView& owner_;
  };

  VkRxViewController& controller_;
  Passes passes_{*this};
  QPointer<QWidget> widget_;
  rx::DisposeBag bindings_;
  bool ready_ = false;
};

}  // namespace tilvane
