#pragma once

#include <cmath>
#include <ostream>

namespace tilvane {

// Plain geometry values in points (doubles). Which coordinate space a value is in (the bottom-left-origin
// display space or the top-left-origin window space) is stated where it is used.

/// A point.
struct CGPoint {
  double x = 0;
  double y = 0;
  bool operator==(const CGPoint&) const = default;
};

/// A size; width and height may be negative where a computation yields them so.
struct CGSize {
  double width = 0;
  double height = 0;
  bool operator==(const CGSize&) const = default;
};

/// A rectangle: origin and size. The edge accessors treat a negative width or height as extending to the left
/// or down from the origin, so they answer the same for a rectangle and its standardised form.
struct CGRect {
  CGPoint origin;
  CGSize size;

  double minX() const { return std::fmin(origin.x, origin.x + size.width); }
  double minY() const { return std::fmin(origin.y, origin.y + size.height); }
  double midX() const { return origin.x + size.width / 2; }
  double midY() const { return origin.y + size.height / 2; }
  double maxX() const { return std::fmax(origin.x, origin.x + size.width); }
  double maxY() const { return std::fmax(origin.y, origin.y + size.height); }
  bool operator==(const CGRect&) const = default;
};

/// The rectangle (x, y, width, height).
constexpr CGRect CGRectMake(double x, double y, double width, double height) {
  return CGRect{CGPoint{x, y}, CGSize{width, height}};
}

/// Whether every coordinate of the rectangle is finite.
inline bool isFinite(const CGRect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

/// "(x, y, width, height)", for logs and test failures.
inline std::ostream& operator<<(std::ostream& out, const CGRect& r) {
  return out << '(' << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height << ')';
}

/// "(x, y)", for logs and test failures.
inline std::ostream& operator<<(std::ostream& out, const CGPoint& p) { return out << '(' << p.x << ", " << p.y << ')'; }

}  // namespace tilvane
