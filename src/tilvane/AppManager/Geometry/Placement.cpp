#include "AppManager/Geometry/Placement.h"

#include "AppManager/Geometry/PlacedFrames.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Settings/UserDefaultsService.h"

namespace tilvane {

double placementGap() { return UserDefaultsService::gutterEnabled() ? 8 : 0; }

CGRect insetByGap(const CGRect& frame, double gap) {
  return CGRectMake(frame.origin.x + gap, frame.origin.y + gap, frame.size.width - 2 * gap,
                    frame.size.height - 2 * gap);
}

CGRect recordedFractions(const CGRect& windowFrame, const CGRect& visible) {
  const double gap = placementGap();
  return TransformUtils::placementRatio(insetByGap(windowFrame, -gap), visible, gap);
}

CGRect placementFractions(const CGRect& asked, const CGRect& visible) {
  return TransformUtils::placementRatio(asked, visible, placementGap());
}

void placeFrame(SIWindow& window, const CGRect& frame, GaplessOrder order) {
  const double gap = placementGap();
  const CGRect now = window.frame();
  const CGRect asked = insetByGap(frame, gap);
  const CGSize size = asked.size;
  const bool sizeFirst = gap > 0 || order == GaplessOrder::sizePositionSize;
  if (gap == 0 && order == GaplessOrder::setFrame) {
    window.setFrame(frame);
  } else if (gap == 0 && order == GaplessOrder::positionSizePosition) {
    window.setPosition(frame.origin);
    window.setSize(frame.size);
    window.setPosition(frame.origin);
  } else {
    window.setSize(size);
    window.setPosition(asked.origin);
    window.setSize(size);
  }
  // Where the window is to end: as asked, or as the desktop expects it (a window that sizes in steps, such as a
  // terminal's character cells, is rounded short of the frame asked for by some window managers, not by others).
  // Noted before any report of the requests is handled, with the frames it passes through on its way (the new
  // origin or the new size first, the other still as it was).
  const CGRect expected = window.frame();
  std::vector<CGRect> onTheWay;
  for (const CGRect& end : {asked, expected})
    onTheWay.push_back(sizeFirst ? CGRect{now.origin, end.size} : CGRect{end.origin, now.size});
  PlacedFrames::shared().placed(window, std::move(onTheWay), asked, expected);
}

}  // namespace tilvane
