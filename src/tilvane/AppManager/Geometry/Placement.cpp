#include "AppManager/Geometry/Placement.h"

#include "AppManager/Geometry/PlacedFrames.h"
#include "AppManager/Settings/UserDefaultsService.h"

namespace tilvane {

double placementGap() { return UserDefaultsService::gutterEnabled() ? 8 : 0; }

void placeFrame(SIWindow& window, const CGRect& frame, GaplessOrder order) {
  const double gap = placementGap();
  // Noted before the requests go, so no report of them comes first: the frames the window passes through on its
  // way (the new origin or the new size first, the other still as it is now) and the frame it ends at.
  const CGRect now = window.frame();
  const CGSize size{frame.size.width - 2 * gap, frame.size.height - 2 * gap};
  const CGRect target{{frame.origin.x + gap, frame.origin.y + gap}, size};
  const bool sizeFirst = gap > 0 || order == GaplessOrder::sizePositionSize;
  PlacedFrames::shared().placed(window, {sizeFirst ? CGRect{now.origin, size} : CGRect{target.origin, now.size}},
                                target);
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
  window.setSize(size);
  window.setPosition(CGPoint{frame.origin.x + gap, frame.origin.y + gap});
  window.setSize(size);
}

}  // namespace tilvane
