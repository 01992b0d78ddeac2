#pragma once

#include <cstdint>
#include <optional>

#include "Models/ModelsFwd.h"
#include "platform/desktop/Geometry.h"

namespace tilvane {

/// The part of the visible frame a custom layout gives the focused window, as a fractional rectangle, and the
/// step of the arranged cycle that comes with it.
///
/// fix: the rectangle spanned by the selected cells (absent when no cell is selected: there is nothing to move
/// to). arranged: the selected cell number `index` in reading order, wrapping (the whole frame when nothing is
/// selected); the cycle restarts at 0 when `windowID` is not the window the cycle belongs to, and the index
/// moves on by one. ignore or an unknown type: absent, and the cycle is left alone.
///
/// `index` and `cycleWindowID` are the layout manager's cycle state, updated in place.
std::optional<CGRect> customLayoutFractions(const CustomLayoutModel& layout, std::uint32_t windowID,
                                            std::int64_t& index, std::uint32_t& cycleWindowID);

}  // namespace tilvane
