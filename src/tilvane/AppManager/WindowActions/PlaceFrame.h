#pragma once

#include "platform/desktop/Geometry.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// Puts `window` on `frame` (window space) the way every direct placement does: with the gap setting off one
/// setFrame; with it on, size less 16 points, position plus 8 points on each axis, then that size again (a
/// window that cannot grow at its old place may at its new one). Main thread.
void placeFrame(SIWindow& window, const CGRect& frame);

}  // namespace tilvane
