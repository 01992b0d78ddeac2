#pragma once

#include "platform/desktop/Geometry.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// The margin a placed window keeps to its target frame and to its display's edges: 8 points with the gap
/// setting ("gutterEnabled") on, else 0.
double placementGap();

/// How a placement goes when there is no gap; each caller keeps its own order.
enum class GaplessOrder {
  positionSizePosition,  // layout operations: a window moved first can grow where it lands
  sizePositionSize,      // workspace items
  setFrame,              // built-in actions and window moves: one frame request
};

/// Puts `window` on `frame` (window space), the one way every placement does it. With the gap on: the size
/// less twice the gap, the origin plus the gap, then that size again (a window that cannot grow at its old
/// place may at its new one); with it off, in the caller's order. Values that are not finite, and sizes of 0
/// or less, never reach the window. Main thread.
void placeFrame(SIWindow& window, const CGRect& frame, GaplessOrder order);

/// Where a placement onto `frame` puts a window: `frame` less `gap` on each side.
CGRect insetByGap(const CGRect& frame, double gap);

/// The fractions of the visible frame `visible` (display space) that a placement is to ask for to put a window
/// back on `windowFrame` (window space): the window's frame with the gap added back on each side, the inverse of
/// placeFrame(), also against the display's edges. A window's own frame is remembered as these.
CGRect recordedFractions(const CGRect& windowFrame, const CGRect& visible);

/// The fractions of `visible` that `asked`, the frame a placement asked for (window space), covers.
CGRect placementFractions(const CGRect& asked, const CGRect& visible);

}  // namespace tilvane
