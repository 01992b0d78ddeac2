#include "AppManager/Geometry/PlacedFrames.h"

#include <algorithm>
#include <cmath>

namespace tilvane {
namespace {
bool near(const CGRect& a, const CGRect& b) {
  const auto close = [](double x, double y) { return std::fabs(x - y) <= PlacedFrames::kTolerance; };
  return close(a.origin.x, b.origin.x) && close(a.origin.y, b.origin.y) && close(a.size.width, b.size.width) &&
         close(a.size.height, b.size.height);
}
}  // namespace

PlacedFrames::Placement* PlacedFrames::find(const SIWindow& window) {
  const auto it = placements_.find(window.axElement());
  return it == placements_.end() ? nullptr : &it->second;
}

void PlacedFrames::placed(const SIWindow& window, std::vector<CGRect> onTheWay, const CGRect& frame) {
  placements_.insert_or_assign(window.axElement(), Placement{std::move(onTheWay), frame, false});
}

void PlacedFrames::movedOn(const SIWindow& window, const CGRect& frame) {
  Placement* p = find(window);
  if (!p) return placed(window, {}, frame);
  p->onTheWay.push_back(p->frame);
  p->frame = frame;
  p->arrived = false;
}

bool PlacedFrames::isEcho(const SIWindow& window, const CGRect& frame) {
  Placement* p = find(window);
  if (!p) return false;
  if (near(frame, p->frame)) {
    p->arrived = true;
    return true;
  }
  if (!p->arrived &&
      std::any_of(p->onTheWay.begin(), p->onTheWay.end(), [&](const CGRect& step) { return near(frame, step); }))
    return true;
  forget(window);
  return false;
}

void PlacedFrames::forget(const SIWindow& window) { placements_.erase(window.axElement()); }

}  // namespace tilvane
