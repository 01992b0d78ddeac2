#pragma once

#include "platform/desktop/Geometry.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// The margin a placed window keeps to its target frame and to its display's edges: 8 points with the gap
/// setting ("gutterEnabled") on, else 0.
double placementGap();

/// How a placement goes when there is no gap; each caller keeps its own order.
enum class GaplessOrder {
  positionSizePosition,  // layout operations: a window moved first can grow where it lands
  sizePositionSize,      // workspace items
  setFrame,              // built-in actions and window moves: one frame request
};

/// Puts `window` on `frame` (window space), the one way every placement does it. With the gap on: the size
/// less twice the gap, the origin plus the gap, then that size again (a window that cannot grow at its old
/// place may at its new one); with it off, in the caller's order. Values that are not finite, and sizes of 0
/// or less, never reach the window. Main thread.
void placeFrame(SIWindow& window, const CGRect& frame, GaplessOrder order);

/// Where a placement onto `frame` puts a window: `frame` less `gap` on each side.
CGRect insetByGap(const CGRect& frame, double gap);

/// Whether `a` and `b` differ by at most `tolerance` points in origin and size.
bool framesNear(const CGRect& a, const CGRect& b, double tolerance);

/// A place as records keep it: fractions of a display's visible frame grown by `gutter` points on every side,
/// `gutter` being the gap in force when it was recorded (0 for a place given as fractions of the visible frame
/// itself, as rules and grids give it, and for records made before gaps were kept). The gap is a fixed number of
/// points, so a place taken with it and scaled to a display of another size keeps its edges against the edges.
struct RecordedPlace {
  CGRect fractions{};
  double gutter = 0;
  bool operator==(const RecordedPlace&) const = default;
};

/// The place that gives a window back its own frame `windowFrame` (window space) on the display whose visible
/// frame is `visible` (display space): the frame with the gap added back, as a placement asks for it. A window's
/// own frame is remembered as this.
RecordedPlace recordedPlace(const CGRect& windowFrame, const CGRect& visible);

/// The place of `asked`, the frame a placement asked for (window space), on the display of `visible`.
RecordedPlace askedPlace(const CGRect& asked, const CGRect& visible);

/// The frame a placement is to ask for (window space) to put a window at `place` on the display of `visible`.
/// Where the window lay inside its display's visible frame when recorded (the fractions' edge within 0...1), it
/// ends inside `visible`, whatever the display's size and whatever the gap now: an edge the gap setting would
/// push out is held at the visible frame's edge. An edge the user left off the display is placed as it stands.
CGRect askedFrame(const RecordedPlace& place, const CGRect& visible);

/// The fractions of `visible` that a window placed at `place` covers, the gap taken off: what it looks like.
CGRect windowFractions(const RecordedPlace& place, const CGRect& visible);

/// The place a stored record (a remembered frame or a workspace item) holds.
template <class Model>
RecordedPlace recordedPlaceOf(const Model& model) {
  return {CGRectMake(model.x(), model.y(), model.width(), model.height()), model.gutter()};
}

/// Stores `place` in a record, extents as magnitudes.
template <class Model>
void setRecordedPlace(Model& model, const RecordedPlace& place) {
  model.setX(place.fractions.origin.x);
  model.setY(place.fractions.origin.y);
  model.setWidth(place.fractions.size.width < 0 ? -place.fractions.size.width : place.fractions.size.width);
  model.setHeight(place.fractions.size.height < 0 ? -place.fractions.size.height : place.fractions.size.height);
  model.setGutter(place.gutter);
}

}  // namespace tilvane
