#include "AppManager/Geometry/Placement.h"

#include "AppManager/Settings/UserDefaultsService.h"

namespace tilvane {

double placementGap() { return UserDefaultsService::gutterEnabled() ? 8 : 0; }

void placeFrame(SIWindow& window, const CGRect& frame, GaplessOrder order) {
  const double gap = placementGap();
  if (gap == 0 && order == GaplessOrder::setFrame) {
    window.setFrame(frame);
    return;
  }
  if (gap == 0 && order == GaplessOrder::positionSizePosition) {
    window.setPosition(frame.origin);
    window.setSize(frame.size);
    window.setPosition(frame.origin);
    return;
  }
  const CGSize size{frame.size.width - 2 * gap, frame.size.height - 2 * gap};
  window.setSize(size);
  window.setPosition(CGPoint{frame.origin.x + gap, frame.origin.y + gap});
  window.setSize(size);
}

}  // namespace tilvane
