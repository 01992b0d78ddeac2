#pragma once

#include <cstdint>
#include <functional>
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

/// The window manager's own panels (the fluxbox toolbar, the icewm task bar) as struts. They are no clients and
/// publish no strut: only the work area (`workArea`, _NET_WORKAREA of the desktop shown) leaves their space out,
/// and it is one rectangle over every monitor. Along each screen edge the work area stops short of by more than
/// any of `clientStruts` reserves there, each window of `shownWindows()` (the root's shown children, asked for
/// only then) lying wholly in that band is a panel and reserves its own depth over its own span, so a panel on
/// one monitor takes nothing from the monitor beside it. With no window there the whole edge is reserved as
/// deep as the band. A work area that lies off the screen or spans nothing is no work area.
std::vector<Strut> workAreaStruts(const PixelRect& workArea, std::int64_t screenWidth, std::int64_t screenHeight,
                                  const std::vector<Strut>& clientStruts,
                                  const std::function<std::vector<PixelRect>()>& shownWindows);

}  // namespace tilvane::x11
