#include "platform/desktop/x11/CoordinateSpace.h"

#include <algorithm>
#include <cmath>

namespace tilvane::x11 {
namespace {
constexpr double kMaxCoordinate = 32767;

std::int64_t position(double v) { return static_cast<std::int64_t>(std::clamp(std::round(v), -kMaxCoordinate, kMaxCoordinate)); }
std::int64_t extent(double v) { return static_cast<std::int64_t>(std::clamp(std::round(v), 1.0, kMaxCoordinate)); }
}  // namespace

CGRect CoordinateSpace::toDisplaySpace(const PixelRect& r) const {
  return CGRectMake(static_cast<double>(r.x - primary_.x), static_cast<double>(primary_.bottom() - r.bottom()),
                    static_cast<double>(r.width), static_cast<double>(r.height));
}

CGRect CoordinateSpace::toWindowSpace(const PixelRect& r) const {
  return CGRectMake(static_cast<double>(r.x - primary_.x), static_cast<double>(r.y - primary_.y),
                    static_cast<double>(r.width), static_cast<double>(r.height));
}

CGPoint CoordinateSpace::toWindowSpace(std::int64_t x, std::int64_t y) const {
  return CGPoint{static_cast<double>(x - primary_.x), static_cast<double>(y - primary_.y)};
}

std::optional<PixelRect> CoordinateSpace::fromWindowSpace(const CGRect& r) const {
  if (!isFinite(r)) return std::nullopt;
  // A negative size extends to the left or up, as the geometry type reads it.
  return PixelRect{position(r.minX() + static_cast<double>(primary_.x)),
                   position(r.minY() + static_cast<double>(primary_.y)), extent(r.maxX() - r.minX()),
                   extent(r.maxY() - r.minY())};
}

std::optional<PixelRect> CoordinateSpace::fromDisplaySpace(const CGRect& r) const {
  if (!isFinite(r)) return std::nullopt;
  // The top edge in window space is the pivot less the top edge in display space.
  const double pivot = static_cast<double>(primary_.height);
  return fromWindowSpace(CGRectMake(r.minX(), pivot - r.maxY(), r.maxX() - r.minX(), r.maxY() - r.minY()));
}

std::optional<PixelRect> CoordinateSpace::fromWindowSpace(const CGPoint& p) const {
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) return std::nullopt;
  return PixelRect{position(p.x + static_cast<double>(primary_.x)), position(p.y + static_cast<double>(primary_.y)), 0, 0};
}

}  // namespace tilvane::x11
