#include "AppManager/Geometry/Placement.h"

#include <cmath>
#include <utility>

#include "AppManager/Geometry/PlacedFrames.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Settings/UserDefaultsService.h"

namespace tilvane {

double placementGap() { return UserDefaultsService::gutterEnabled() ? 8 : 0; }

CGRect insetByGap(const CGRect& frame, double gap) {
  return CGRectMake(frame.origin.x + gap, frame.origin.y + gap, frame.size.width - 2 * gap,
                    frame.size.height - 2 * gap);
}

bool framesNear(const CGRect& a, const CGRect& b, double tolerance) {
  const auto close = [tolerance](double x, double y) { return std::fabs(x - y) <= tolerance; };
  return close(a.origin.x, b.origin.x) && close(a.origin.y, b.origin.y) && close(a.size.width, b.size.width) &&
         close(a.size.height, b.size.height);
}

namespace {

// The fractions of the visible frame (width w, height h) grown by `gap` on every side that `of` (fractions of the
// visible frame itself) covers; `toGrown` false goes back. A frame with no extent keeps its fractions.
CGRect regrow(const CGRect& of, double w, double h, double gap, bool toGrown) {
  const auto scale = [&](double side) {
    const double grown = side + 2 * gap;
    if (!(side > 0) || !(grown > 0)) return std::pair{1.0, 0.0};
    return toGrown ? std::pair{side / grown, gap / grown} : std::pair{grown / side, -gap / side};
  };
  const auto [sx, dx] = scale(std::fabs(w));
  const auto [sy, dy] = scale(std::fabs(h));
  return CGRectMake(of.origin.x * sx + dx, of.origin.y * sy + dy, of.size.width * sx, of.size.height * sy);
}

// `r` with each value rounded to a multiple of 1/`steps`: what a conversion there and back leaves of rounding
// errors goes, so whole values come back whole.
CGRect evened(const CGRect& r, double steps) {
  const auto even = [steps](double v) { return std::round(v * steps) / steps; };
  return CGRectMake(even(r.origin.x), even(r.origin.y), even(r.size.width), even(r.size.height));
}

RecordedPlace placeOfAsked(const CGRect& asked, const CGRect& visible, double gap) {
  const CGRect fractions = TransformUtils::placementRatio(asked, visible, gap);
  return {regrow(fractions, visible.size.width, visible.size.height, gap, true), gap};
}

// Holds the edges of `placed` whose fractions lie within 0...1 (`low`, `high`) inside `lo`...`hi`: the far
// edge stays where it is, so the window gives up at most what lies outside.
void holdInside(double& origin, double& extent, double lo, double hi, bool low, bool high) {
  double end = origin + extent;
  if (low && origin < lo) origin = lo;
  if (high && end > hi) end = hi;
  if (end > origin) extent = end - origin;
}

constexpr double kEdgeSlack = 1e-9;

}  // namespace

RecordedPlace recordedPlace(const CGRect& windowFrame, const CGRect& visible) {
  const double gap = placementGap();
  return placeOfAsked(insetByGap(windowFrame, -gap), visible, gap);
}

RecordedPlace askedPlace(const CGRect& asked, const CGRect& visible) {
  return placeOfAsked(asked, visible, placementGap());
}

CGRect askedFrame(const RecordedPlace& place, const CGRect& visible) {
  const double gap = placementGap();
  const CGRect& f = place.fractions;
  const CGRect ofVisible = regrow(f, visible.size.width, visible.size.height, place.gutter, false);
  CGRect placed = insetByGap(TransformUtils::convert(ofVisible, visible), gap);
  const CGRect bounds = TransformUtils::convert(CGRectMake(0, 0, 1, 1), visible);
  holdInside(placed.origin.x, placed.size.width, bounds.minX(), bounds.maxX(), f.origin.x >= -kEdgeSlack,
             f.origin.x + std::fabs(f.size.width) <= 1 + kEdgeSlack);
  holdInside(placed.origin.y, placed.size.height, bounds.minY(), bounds.maxY(), f.origin.y >= -kEdgeSlack,
             f.origin.y + std::fabs(f.size.height) <= 1 + kEdgeSlack);
  // The way through the grown frame leaves rounding errors of far below a point: a frame of whole points, and
  // fractions of one, come back as they were.
  return evened(insetByGap(placed, -gap), 1024);
}

CGRect windowFractions(const RecordedPlace& place, const CGRect& visible) {
  const double w = std::fabs(visible.size.width);
  const double h = std::fabs(visible.size.height);
  CGRect r = regrow(place.fractions, w, h, place.gutter, false);
  if (w > 0 && h > 0) {
    r = CGRectMake(r.origin.x + place.gutter / w, r.origin.y + place.gutter / h,
                   std::fabs(r.size.width) - 2 * place.gutter / w, std::fabs(r.size.height) - 2 * place.gutter / h);
  }
  // Whole cells stay whole: a sum that misses 0.5 by a rounding error must not select the next one.
  return evened(r, 1e9);
}

void placeFrame(SIWindow& window, const CGRect& frame, GaplessOrder order) {
  const double gap = placementGap();
  const CGRect now = window.frame();
  const CGRect asked = insetByGap(frame, gap);
  const CGSize size = asked.size;
  const bool sizeFirst = gap > 0 || order == GaplessOrder::sizePositionSize;
  if (gap == 0 && order == GaplessOrder::setFrame) {
    window.setFrame(frame);
  } else if (gap == 0 && order == GaplessOrder::positionSizePosition) {
    window.setPosition(frame.origin);
    window.setSize(frame.size);
    window.setPosition(frame.origin);
  } else {
    window.setSize(size);
    window.setPosition(asked.origin);
    window.setSize(size);
  }
  // Where the window is to end: as asked, or as the desktop expects it (a window that sizes in steps, such as a
  // terminal's character cells, is rounded short of the frame asked for by some window managers, not by others).
  // Noted before any report of the requests is handled, with the frames it passes through on its way (the new
  // origin or the new size first, the other still as it was).
  const CGRect expected = window.frame();
  std::vector<CGRect> onTheWay;
  for (const CGRect& end : {asked, expected})
    onTheWay.push_back(sizeFirst ? CGRect{now.origin, end.size} : CGRect{end.origin, now.size});
  PlacedFrames::shared().placed(window, std::move(onTheWay), asked, expected);
}

}  // namespace tilvane
