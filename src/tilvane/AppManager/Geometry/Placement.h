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

}  // namespace tilvane
