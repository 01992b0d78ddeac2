#pragma once

#include <QObject>
#include <QWidget>
#include <memory>

#include "VkKit/VkRxViewController.h"

namespace tilvane {

/// A view controller whose view is a Qt widget: view() makes an empty widget of zero size on first use (the
/// subclass sizes it in setupUI() or through its layout), and the widget's first polish or layout request is
/// the layout pass that runs setupLayout(). Subwidgets made in setupUI() are children of view().
class QtViewController : public VkRxViewController {
 public:
  /// The view, loaded (and the set-up hooks run) on first use.
  QWidget& view();

 protected:
  QtViewController() = default;
  void loadView() override;

 private:
  /// Hands the widget's layout passes to the controller.
  class LayoutPassFilter final : public QObject {
   public:
    explicit LayoutPassFilter(QtViewController& owner) : owner_(owner) {}
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    QtViewController& owner_;
  };

  // The filter outlives the view, so the view never reports to a filter that is gone.
  LayoutPassFilter filter_{*this};
  std::unique_ptr<QWidget> view_;
};

}  // namespace tilvane
