#include "Layout/LayoutOperation.h"

#include "AppManager/Geometry/Placement.h"
#include "Layout/LayoutManager.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
LayoutOperationType::LayoutOperationType(std::optional<SIWindow> window, std::optional<CGRect> frame)
    : window_(std::move(window)), frame_(frame) {}

void LayoutOperationType::main() {
  if (frame_) {
    const CGRect f = *frame_;
    dispatch::MainQueue::async([self = shared_from_this(), f] {
      self->apply(f.origin.x, f.origin.y, f.size.width, f.size.height);
    });
  }
  finish();
}

void LayoutOperationType::apply(double x, double y, double width, double height) {
  if (window_) {
    SIWindow window = *window_;
    placeFrame(window, CGRectMake(x, y, width, height), order());
  }
  LayoutManager::shared().keepOnScreen(window_);
}

}  // namespace tilvane
