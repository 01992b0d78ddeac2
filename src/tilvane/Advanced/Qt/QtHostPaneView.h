#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "Preferences/Qt/QtPaneView.h"
#include "VkKit/Qt/QtViewController.h"

namespace tilvane {

/// The view of an advanced-window pane: the pane's size, filled by the view of the controller it hosts (none:
/// an empty pane). A hosted controller that is a Qt view controller lives with this view. Whichever widget goes
/// first, the other is not deleted twice.
class QtHostPaneView final : public QtPaneView {
 public:
  QtHostPaneView(VkRxViewController& pane, QWidget* hosted);
  QtHostPaneView(VkRxViewController& pane, std::unique_ptr<QtViewController> hosted);

  /// The hosted Qt view controller; null when the pane hosts none of its own.
  QtViewController* hostedController() const { return owned_.get(); }

 protected:
  void layoutSubviews() override;

 private:
  QPointer<QWidget> hosted_;
  // Goes before the pane's widget, taking its view along.
  std::unique_ptr<QtViewController> owned_;
};

}  // namespace tilvane
