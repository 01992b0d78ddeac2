#include "WorkspaceLayout/Restore/WindowAssignment.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tilvane {
namespace {
/// Farther than any two frames on one desktop.
constexpr double kOtherDesktop = 1e7;
}  // namespace

double spotDistance(const WindowSpot& window, const WindowSpot& place) {
  const CGRect& a = window.frame;
  const CGRect& b = place.frame;
  const double edges = std::abs(a.origin.x - b.origin.x) + std::abs(a.origin.y - b.origin.y) +
                       std::abs(a.origin.x + a.size.width - b.origin.x - b.size.width) +
                       std::abs(a.origin.y + a.size.height - b.origin.y - b.size.height);
  const bool otherDesktop = window.space && place.space && *window.space != *place.space;
  return std::isfinite(edges) ? edges + (otherDesktop ? kOtherDesktop : 0) : 2 * kOtherDesktop;
}

std::vector<std::optional<std::size_t>> assignWindows(const std::vector<WindowSpot>& windows,
                                                      const std::vector<WindowSpot>& places) {
  std::vector<std::optional<std::size_t>> served(places.size());
  std::vector<bool> taken(windows.size(), false);
  for (std::size_t round = 0; round < std::min(windows.size(), places.size()); ++round) {
    std::optional<std::pair<std::size_t, std::size_t>> best;
    double bestDistance = 0;
    for (std::size_t p = 0; p < places.size(); ++p) {
      if (served[p]) continue;
      for (std::size_t w = 0; w < windows.size(); ++w) {
        if (taken[w]) continue;
        const double distance = spotDistance(windows[w], places[p]);
        if (!best || distance < bestDistance) {
          best = {p, w};
          bestDistance = distance;
        }
      }
    }
    served[best->first] = best->second;
    taken[best->second] = true;
  }
  return served;
}

}  // namespace tilvane
