#include "platform/desktop/x11/Struts.h"

#include <algorithm>

namespace tilvane::x11 {
namespace {
// The reserved rectangle of one edge: `thickness` from the edge, over [start, end] along it, clamped to the
// screen. Empty when nothing is reserved.
PixelRect span(std::int64_t along0, std::int64_t along1, std::int64_t limit) {
  const std::int64_t a = std::clamp<std::int64_t>(along0, 0, limit);
  const std::int64_t b = std::clamp<std::int64_t>(along1 + 1, 0, limit);
  return PixelRect{a, 0, std::max<std::int64_t>(0, b - a), 0};
}
}  // namespace

std::optional<Strut> strutFromPartial(const std::vector<std::uint32_t>& v) {
  if (v.size() < 12) return std::nullopt;
  return Strut{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]};
}

std::optional<Strut> strutFromFull(const std::vector<std::uint32_t>& v, std::int64_t screenWidth,
                                   std::int64_t screenHeight) {
  if (v.size() < 4) return std::nullopt;
  const auto lastX = static_cast<std::uint32_t>(std::clamp<std::int64_t>(screenWidth - 1, 0, UINT32_MAX));
  const auto lastY = static_cast<std::uint32_t>(std::clamp<std::int64_t>(screenHeight - 1, 0, UINT32_MAX));
  return Strut{v[0], v[1], v[2], v[3], 0, lastY, 0, lastY, 0, lastX, 0, lastX};
}

PixelRect usableArea(const PixelRect& monitor, std::int64_t screenWidth, std::int64_t screenHeight,
                     const std::vector<Strut>& struts) {
  std::int64_t left = monitor.x, top = monitor.y, right = monitor.right(), bottom = monitor.bottom();
  for (const Strut& s : struts) {
    const std::int64_t l = std::min<std::int64_t>(s.left, screenWidth);
    const std::int64_t r = std::min<std::int64_t>(s.right, screenWidth);
    const std::int64_t t = std::min<std::int64_t>(s.top, screenHeight);
    const std::int64_t b = std::min<std::int64_t>(s.bottom, screenHeight);
    if (l > 0) {
      const PixelRect ys = span(s.leftStartY, s.leftEndY, screenHeight);
      if (monitor.overlapArea(PixelRect{0, ys.x, l, ys.width}) > 0) left = std::max(left, l);
    }
    if (r > 0) {
      const PixelRect ys = span(s.rightStartY, s.rightEndY, screenHeight);
      if (monitor.overlapArea(PixelRect{screenWidth - r, ys.x, r, ys.width}) > 0) right = std::min(right, screenWidth - r);
    }
    if (t > 0) {
      const PixelRect xs = span(s.topStartX, s.topEndX, screenWidth);
      if (monitor.overlapArea(PixelRect{xs.x, 0, xs.width, t}) > 0) top = std::max(top, t);
    }
    if (b > 0) {
      const PixelRect xs = span(s.bottomStartX, s.bottomEndX, screenWidth);
      if (monitor.overlapArea(PixelRect{xs.x, screenHeight - b, xs.width, b}) > 0)
        bottom = std::min(bottom, screenHeight - b);
    }
  }
  if (right <= left || bottom <= top) return monitor;
  return PixelRect{left, top, right - left, bottom - top};
}

}  // namespace tilvane::x11
