#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/desktop/x11/PixelRect.h"

namespace tilvane::x11 {

/// Space a dock reserves along the edges of the X screen (_NET_WM_STRUT_PARTIAL): a thickness per edge, measured
/// from the screen's edge, over a range along that edge (inclusive pixel ranges, as the property gives them).
struct Strut {
  std::uint32_t left = 0, right = 0, top = 0, bottom = 0;
  std::uint32_t leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
  std::uint32_t topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;
  bool operator==(const Strut&) const = default;
};

/// A strut from the 12 values of _NET_WM_STRUT_PARTIAL; absent with fewer values.
std::optional<Strut> strutFromPartial(const std::vector<std::uint32_t>& values);
/// A strut from the 4 values of the older _NET_WM_STRUT, which reserves along whole edges; absent with fewer.
std::optional<Strut> strutFromFull(const std::vector<std::uint32_t>& values, std::int64_t screenWidth,
                                   std::int64_t screenHeight);

/// The part of `monitor` left for windows once every strut that reaches into it is taken away, each from the
/// side its edge is on. Values are clamped to the screen, so a hostile dock cannot produce overflow or negative
/// sizes; when the struts would leave nothing, the whole monitor is answered instead.
PixelRect usableArea(const PixelRect& monitor, std::int64_t screenWidth, std::int64_t screenHeight,
                     const std::vector<Strut>& struts);

}  // namespace tilvane::x11
