#include "Layout/LayoutOperation.h"

#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
constexpr double kGap = 8;
}  // namespace

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
  LayoutManager& manager = LayoutManager::shared();
  const bool gap = UserDefaultsService::gutterEnabled();
  if (window_) {
    // The wrapper refuses what is not finite or not above 0, so a bad frame never reaches the window.
    SIWindow window = *window_;
    if (!gap) {
      window.setPosition({x, y});
      window.setSize({width, height});
      window.setPosition({x, y});
    } else {
      window.setSize({width - 2 * kGap, height - 2 * kGap});
      window.setPosition({x + kGap, y + kGap});
      window.setSize({width - 2 * kGap, height - 2 * kGap});
    }
  }
  manager.keepOnScreen(window_);
}

}  // namespace tilvane
