#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "platform/desktop/KeyCodes.h"

namespace tilvane {
namespace {

/// Sets the five edges of `from`, in the order Up, Down, Left, Right, Return.
void link(LayoutNode& from, const LayoutNode& up, const LayoutNode& down, const LayoutNode& left,
          const LayoutNode& right, const LayoutNode& enter) {
  from.setNode(kVK_UpArrow, up);
  from.setNode(kVK_DownArrow, down);
  from.setNode(kVK_LeftArrow, left);
  from.setNode(kVK_RightArrow, right);
  from.setNode(kVK_Return, enter);
}

}  // namespace

void BuildInLayoutActionController::buildNavigationGraph() {
  auto& top = layoutHalfTop_;
  auto& bottom = layoutHalfBottom_;
  auto& left = layoutHalfLeft_;
  auto& right = layoutHalfRight_;
  auto& full = layoutFullscreen_;
  auto& center = layoutCenter_;

  // From full screen, centre, the nudges and the zooms an arrow picks the half on its side.
  link(full, top, bottom, left, right, center);
  link(center, top, bottom, left, right, full);
  for (LayoutNode* node : {&layoutMoveLeft_, &layoutMoveRight_, &layoutMoveUp_, &layoutMoveDown_,
                           &layoutZoomOut_, &layoutZoomIn_}) {
    link(*node, top, bottom, left, right, center);
  }

  // On a half, the arrow across it picks a quarter; the arrow along it stays on a half.
  link(top, top, bottom, layoutTopLeft_, layoutTopRight_, full);
  link(bottom, top, bottom, layoutBottomLeft_, layoutBottomRight_, full);
  link(left, layoutTopLeft_, layoutBottomLeft_, left, right, full);
  link(right, layoutTopRight_, layoutBottomRight_, left, right, full);

  // On a quarter, the arrow outwards widens it to that half; the arrow inwards picks the neighbour.
  link(layoutTopLeft_, top, layoutBottomLeft_, left, layoutTopRight_, full);
  link(layoutTopRight_, top, layoutBottomRight_, layoutTopLeft_, right, full);
  link(layoutBottomLeft_, layoutTopLeft_, bottom, left, layoutBottomRight_, full);
  link(layoutBottomRight_, layoutTopRight_, bottom, layoutBottomLeft_, right, full);
}

}  // namespace tilvane
