#include "AppManager/Geometry/Placement.h"

#include "AppManager/Settings/UserDefaultsService.h"

namespace tilvane {

double placementGap() { return UserDefaultsService::gutterEnabled() ? 8 : 0; }

void placeFrame(SIWindow& window, const CGRect& frame) {
  const double gap = placementGap();
  const CGSize size{frame.size.width - 2 * gap, frame.size.height - 2 * gap};
  window.setSize(size);
  window.setPosition(CGPoint{frame.origin.x + gap, frame.origin.y + gap});
  window.setSize(size);
}

}  // namespace tilvane
