#include "UI/HUD/VkHUDGeometry.h"

namespace tilvane {

CGRect hudFrame(CGSize textSize, const CGRect& visibleFrame, VkHUDPosition position) {
  constexpr double kPadding = 40;  // 20 points on each side
  constexpr double kEdgeMargin = 50;
  const double width = visibleFrame.size.width;
  const double height = visibleFrame.size.height;
  const double x = (width - textSize.width - kPadding) * 0.5;
  double y = 0;
  switch (position) {
    case VkHUDPosition::top:
      y = height - textSize.height - kPadding - kEdgeMargin;
      break;
    case VkHUDPosition::bottom:
      y = kEdgeMargin;
      break;
    case VkHUDPosition::center:
      y = (height - textSize.height - kPadding) * 0.5;
      break;
  }
  return CGRectMake(x, y, textSize.width + kPadding, textSize.height + kPadding);
}

}  // namespace tilvane
