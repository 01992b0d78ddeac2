#pragma once

#include <memory>
#include <optional>

#include "AppManager/Geometry/Placement.h"
#include "platform/desktop/Geometry.h"
#include "platform/desktop/SIWindow.h"
#include "platform/dispatch/OperationQueue.h"

namespace tilvane {

/// One window moved to one frame: the operation every automatic placement is wrapped in and queued on the
/// layout manager's serial layout queue. When its turn comes it hands the move to the main queue and finishes
/// at once, without waiting for the window to move; the move places the window (placeFrame) and then keeps
/// it on its display.
///
/// The frame is in the window space (top-left origin of the primary display, y down). Without a frame the
/// operation does nothing, not even keeping the window on screen. Made with std::make_shared.
class LayoutOperationType : public dispatch::Operation,
                            public std::enable_shared_from_this<LayoutOperationType> {
 public:
  LayoutOperationType(std::optional<SIWindow> window, std::optional<CGRect> frame);

  const std::optional<SIWindow>& window() const { return window_; }
  const std::optional<CGRect>& frame() const { return frame_; }

  /// The move, on the main thread: placeFrame (the gap rule), then LayoutManager::keepOnScreen.
  void apply(double x, double y, double width, double height);

 protected:
  void main() override;
  /// How placeFrame goes without a gap.
  virtual GaplessOrder order() const { return GaplessOrder::positionSizePosition; }

 private:
  const std::optional<SIWindow> window_;
  const std::optional<CGRect> frame_;
};

/// A custom layout applied to the focused window: a hot key's move, one frame request.
class CustomLayoutOperation final : public LayoutOperationType {
 public:
  using LayoutOperationType::LayoutOperationType;

 protected:
  GaplessOrder order() const override { return GaplessOrder::setFrame; }
};

/// The frame of the window's application rule.
class RuleLayoutOperation final : public LayoutOperationType {
 public:
  using LayoutOperationType::LayoutOperationType;
};

/// The window's remembered frame.
class AutoLayoutOperation final : public LayoutOperationType {
 public:
  using LayoutOperationType::LayoutOperationType;
};

}  // namespace tilvane
