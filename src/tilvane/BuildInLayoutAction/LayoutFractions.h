#pragma once

#include <optional>

#include "BuildInLayoutAction/LayoutNode.h"
#include "platform/desktop/Geometry.h"

namespace tilvane {

/// The part of a display's visible frame that a placing action gives a window, as a fractional rectangle
/// (x, y, width, height from the top-left corner): the whole frame, its centre, a half or a quarter. Absent for
/// the actions that do not place by fractions (desktop moves, switch display, nudges and zooms).
std::optional<CGRect> layoutFractions(const LayoutNodeType& type);

}  // namespace tilvane
