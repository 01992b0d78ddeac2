#include "Advanced/Qt/QtHostPaneView.h"

namespace tilvane {

QtHostPaneView::QtHostPaneView(VkRxViewController& pane, QWidget* hosted) : QtPaneView(pane), hosted_(hosted) {
  if (hosted_ && widget()) {
    hosted_->setParent(widget());
    hosted_->show();
  }
  subviewsReady();
}

QtHostPaneView::QtHostPaneView(VkRxViewController& pane, std::unique_ptr<QtViewController> hosted)
    : QtHostPaneView(pane, hosted ? &hosted->view() : nullptr) {
  owned_ = std::move(hosted);
}

void QtHostPaneView::layoutSubviews() {
  if (hosted_ && widget()) hosted_->setGeometry(widget()->rect());
}

}  // namespace tilvane
