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

namespace {
enum class Edge { left, right, top, bottom };

// A strut of `depth` along `edge` over [start, end) along it.
Strut edgeStrut(Edge edge, std::int64_t depth, std::int64_t start, std::int64_t end) {
  const auto d = static_cast<std::uint32_t>(depth);
  const auto a = static_cast<std::uint32_t>(start);
  const auto b = static_cast<std::uint32_t>(end - 1);
  Strut s;
  switch (edge) {
    case Edge::left: s.left = d, s.leftStartY = a, s.leftEndY = b; break;
    case Edge::right: s.right = d, s.rightStartY = a, s.rightEndY = b; break;
    case Edge::top: s.top = d, s.topStartX = a, s.topEndX = b; break;
    case Edge::bottom: s.bottom = d, s.bottomStartX = a, s.bottomEndX = b; break;
  }
  return s;
}
}  // namespace

std::vector<Strut> workAreaStruts(const PixelRect& workArea, std::int64_t screenWidth, std::int64_t screenHeight,
                                  const std::vector<Strut>& clientStruts,
                                  const std::function<std::vector<PixelRect>()>& shownWindows) {
  const PixelRect screen{0, 0, screenWidth, screenHeight};
  if (workArea.isEmpty() || screen.overlapArea(workArea) == 0) return {};
  std::uint32_t clientLeft = 0, clientRight = 0, clientTop = 0, clientBottom = 0;
  for (const Strut& s : clientStruts) {
    clientLeft = std::max(clientLeft, s.left);
    clientRight = std::max(clientRight, s.right);
    clientTop = std::max(clientTop, s.top);
    clientBottom = std::max(clientBottom, s.bottom);
  }
  struct Band {
    Edge edge;
    std::int64_t depth;
    std::uint32_t clients;
    PixelRect rect;
  };
  const std::int64_t left = workArea.x, right = screenWidth - workArea.right(), top = workArea.y,
                     bottom = screenHeight - workArea.bottom();
  const Band bands[] = {{Edge::left, left, clientLeft, {0, 0, left, screenHeight}},
                        {Edge::right, right, clientRight, {screenWidth - right, 0, right, screenHeight}},
                        {Edge::top, top, clientTop, {0, 0, screenWidth, top}},
                        {Edge::bottom, bottom, clientBottom, {0, screenHeight - bottom, screenWidth, bottom}}};
  std::vector<Strut> struts;
  std::optional<std::vector<PixelRect>> windows;
  for (const Band& band : bands) {
    const bool across = band.edge == Edge::left || band.edge == Edge::right;
    const std::int64_t breadth = across ? screenWidth : screenHeight;
    if (band.depth <= std::int64_t{band.clients} || band.depth >= breadth) continue;
    if (!windows) windows = shownWindows ? shownWindows() : std::vector<PixelRect>{};
    bool found = false;
    for (const PixelRect& w : *windows) {
      const PixelRect& b = band.rect;
      if (w.isEmpty() || w.x < b.x || w.y < b.y || w.right() > b.right() || w.bottom() > b.bottom()) continue;
      found = true;
      switch (band.edge) {
        case Edge::left: struts.push_back(edgeStrut(band.edge, w.right(), w.y, w.bottom())); break;
        case Edge::right: struts.push_back(edgeStrut(band.edge, screenWidth - w.x, w.y, w.bottom())); break;
        case Edge::top: struts.push_back(edgeStrut(band.edge, w.bottom(), w.x, w.right())); break;
        case Edge::bottom: struts.push_back(edgeStrut(band.edge, screenHeight - w.y, w.x, w.right())); break;
      }
    }
    if (!found) struts.push_back(edgeStrut(band.edge, band.depth, 0, across ? screenHeight : screenWidth));
  }
  return struts;
}

}  // namespace tilvane::x11
