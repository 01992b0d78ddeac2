#include "platform/desktop/x11/VisibleFrame.h"

#include <algorithm>

namespace tilvane::x11 {

PixelRect FrameMargins::visibleFrame(const PixelRect& client) const {
  PixelRect r = outerFrameOf(client, decoration);
  const std::int64_t shadowWidth = std::int64_t{shadow.left} + shadow.right;
  const std::int64_t shadowHeight = std::int64_t{shadow.top} + shadow.bottom;
  if (shadowWidth < client.width) {
    r.x += shadow.left;
    r.width -= shadowWidth;
  }
  if (shadowHeight < client.height) {
    r.y += shadow.top;
    r.height -= shadowHeight;
  }
  return r;
}

PixelRect FrameMargins::request(const PixelRect& visible) const {
  const std::int64_t width = visible.width - decoration.left - decoration.right + shadow.left + shadow.right;
  const std::int64_t height = visible.height - decoration.top - decoration.bottom + shadow.top + shadow.bottom;
  return PixelRect{visible.x - shadow.left, visible.y - shadow.top, std::max<std::int64_t>(1, width),
                   std::max<std::int64_t>(1, height)};
}

FrameMargins frameMarginsFrom(const std::optional<PropertyValue>& netFrameExtents,
                              const std::optional<PropertyValue>& gtkFrameExtents) {
  // Both properties have the same form: left, right, top, bottom.
  return FrameMargins{frameExtentsFrom(netFrameExtents), frameExtentsFrom(gtkFrameExtents)};
}

FrameMargins queryFrameMargins(const XConnection& x, xcb_window_t window) {
  PropertyRequest net(x, window, x.atoms()._NET_FRAME_EXTENTS, kFrameExtentsBytes);
  PropertyRequest gtk(x, window, x.atoms()._GTK_FRAME_EXTENTS, kGtkFrameExtentsBytes);
  return frameMarginsFrom(net.get(), gtk.get());
}

std::optional<PixelRect> queryVisibleFrame(const XConnection& x, xcb_window_t window) {
  ClientRectRequest client(x, window);
  const FrameMargins margins = queryFrameMargins(x, window);
  const auto rect = client.get();
  if (!rect) return std::nullopt;
  return margins.visibleFrame(*rect);
}

}  // namespace tilvane::x11
