#pragma once

#include <algorithm>
#include <cstdint>
#include <ostream>

namespace tilvane::x11 {

/// A rectangle in root-window pixels: origin at the top-left of the X screen, y down. 64-bit so that sums of
/// untrusted 32-bit values never overflow.
struct PixelRect {
  std::int64_t x = 0;
  std::int64_t y = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;

  std::int64_t right() const { return x + width; }
  std::int64_t bottom() const { return y + height; }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  /// Area of the overlap with `o` (0 when they do not overlap).
  std::int64_t overlapArea(const PixelRect& o) const {
    const std::int64_t w = std::min(right(), o.right()) - std::max(x, o.x);
    const std::int64_t h = std::min(bottom(), o.bottom()) - std::max(y, o.y);
    return (w > 0 && h > 0) ? w * h : 0;
  }
  bool contains(std::int64_t px, std::int64_t py) const { return px >= x && px < right() && py >= y && py < bottom(); }
  bool operator==(const PixelRect&) const = default;
};

/// "WxH+X+Y", for logs and test failures.
inline std::ostream& operator<<(std::ostream& out, const PixelRect& r) {
  return out << r.width << 'x' << r.height << (r.x < 0 ? "" : "+") << r.x << (r.y < 0 ? "" : "+") << r.y;
}

}  // namespace tilvane::x11
