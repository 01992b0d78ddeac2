#pragma once

#include "UI/HUD/VkHUDStyle.h"
#include "platform/desktop/Geometry.h"

namespace tilvane {

/// The message window's frame in the display space for a fitted text of `textSize`: 20 points around the text,
/// centred across the width of `visibleFrame` and placed by `position` within its height, measured from the
/// bottom-left corner of the primary display (the visible frame's own origin is not used): top 50 points below
/// the top, bottom 50 points above the bottom, center halfway. A text wider than the display gives a window
/// wider than the display, with a negative x.
CGRect hudFrame(CGSize textSize, const CGRect& visibleFrame, VkHUDPosition position);

}  // namespace tilvane
