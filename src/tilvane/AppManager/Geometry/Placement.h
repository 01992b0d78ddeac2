#pragma once

#include "platform/desktop/Geometry.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// The margin a placed window keeps to its target frame and to its display's edges: 8 points with the gap
/// setting ("gutterEnabled") on, else 0.
double placementGap();

/// Puts `window` on `frame` (window space), the one way every placement does it: the size less twice the gap,
/// the origin plus the gap, then that size again (a window that cannot grow at its old place may at its new
/// one). Values that are not finite, and sizes of 0 or less, never reach the window. Main thread.
void placeFrame(SIWindow& window, const CGRect& frame);

}  // namespace tilvane
