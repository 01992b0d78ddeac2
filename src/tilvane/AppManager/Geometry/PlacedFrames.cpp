#include "AppManager/Geometry/PlacedFrames.h"

#include <algorithm>

#include "AppManager/Geometry/Placement.h"

namespace tilvane {

PlacedFrames::Placement* PlacedFrames::find(const SIWindow& window) {
  const auto it = placements_.find(window.axElement());
  return it == placements_.end() ? nullptr : &it->second;
}

void PlacedFrames::placed(const SIWindow& window, std::vector<CGRect> onTheWay, const CGRect& asked,
                          const CGRect& expected) {
  // A window manager slower than a quick second placement answers the first one's requests late: while it has
  // not arrived, its frames stay on the way of this one rather than read as someone else's move. So does its
  // size at the new place: a program answering the earlier size late (a terminal sizing itself to its cells).
  if (const Placement* earlier = find(window); earlier && !earlier->arrived) {
    std::vector<CGRect> kept = earlier->onTheWay;
    for (const CGRect& end : earlier->ends) {
      kept.push_back(end);
      kept.push_back(CGRect{asked.origin, end.size});
    }
    if (kept.size() > kMaxKept) kept.erase(kept.begin(), kept.end() - kMaxKept);
    onTheWay.insert(onTheWay.begin(), kept.begin(), kept.end());
  }
  placements_.insert_or_assign(window.axElement(), Placement{std::move(onTheWay), {asked, expected}, false});
}

void PlacedFrames::movedOn(const SIWindow& window, const CGPoint& origin) {
  Placement* p = find(window);
  if (!p) {
    const CGRect frame{origin, window.frame().size};
    return placed(window, {}, frame, frame);
  }
  for (CGRect& end : p->ends) {
    p->onTheWay.push_back(end);
    end.origin = origin;
  }
  p->arrived = false;
}

bool PlacedFrames::isEcho(const SIWindow& window, const CGRect& frame) {
  Placement* p = find(window);
  if (!p) return false;
  const auto at = [&](const std::vector<CGRect>& frames) {
    return std::any_of(frames.begin(), frames.end(), [&](const CGRect& f) { return framesNear(frame, f, kTolerance); });
  };
  if (at(p->ends)) {
    p->arrived = true;
    return true;
  }
  if (!p->arrived && at(p->onTheWay)) return true;
  forget(window);
  return false;
}

void PlacedFrames::forget(const SIWindow& window) { placements_.erase(window.axElement()); }

}  // namespace tilvane
