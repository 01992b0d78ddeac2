#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/desktop/Geometry.h"

namespace tilvane {

/// Where a window stands, or where an item puts its window: a frame in the window space and a desktop number
/// (absent: every desktop).
struct WindowSpot {
  CGRect frame{};
  std::optional<int> space;
};

/// How far a window at `window` is from `place`: the four edges' distances summed, and more than any screen
/// holds when they are on different desktops.
double spotDistance(const WindowSpot& window, const WindowSpot& place);

/// Serves `places` with `windows`, each window at most one place: the closest pair of all is served first, then
/// the closest of the rest, and so on (ties go to the earlier place, then the earlier window). So a window that
/// stands on a place keeps it, and the others go to the nearest place still free. For each place, the index of
/// its window, or absent when the windows ran out.
std::vector<std::optional<std::size_t>> assignWindows(const std::vector<WindowSpot>& windows,
                                                      const std::vector<WindowSpot>& places);

}  // namespace tilvane
