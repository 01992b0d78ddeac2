#pragma once

#include <xcb/xcb.h>

#include <optional>

#include "platform/desktop/x11/Ewmh.h"
#include "platform/desktop/x11/PixelRect.h"
#include "platform/desktop/x11/Properties.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// How much of _GTK_FRAME_EXTENTS is read.
inline constexpr std::uint32_t kGtkFrameExtentsBytes = 16;

/// What lies between a client window's own rectangle and the frame a user sees of it: the window manager's
/// decoration around the client (_NET_FRAME_EXTENTS) and the invisible margins that a client drawing its own
/// frame keeps inside its rectangle for shadows (_GTK_FRAME_EXTENTS; they come and go with the compositor).
///
/// The visible frame is the client rectangle plus the decoration less the shadows. Every frame the desktop layer
/// reads and every frame it is asked to set is a visible frame; this is the one place that converts between the
/// two, in both directions.
struct FrameMargins {
  FrameExtents decoration;
  FrameExtents shadow;
  bool operator==(const FrameMargins&) const = default;

  /// The visible frame of a client rectangle. Shadows that would leave nothing of the window on an axis (a
  /// client's nonsense) are not taken off on that axis.
  PixelRect visibleFrame(const PixelRect& client) const;
  /// What a _NET_MOVERESIZE_WINDOW request (north-west gravity) names so that the visible frame becomes `visible`:
  /// x, y of the outer frame (decoration included, shadows not) and the client's width and height, at least 1.
  PixelRect request(const PixelRect& visible) const;
};

/// From values of _NET_FRAME_EXTENTS and _GTK_FRAME_EXTENTS read already (each side bounded; missing or
/// malformed values are no margin).
FrameMargins frameMarginsFrom(const std::optional<PropertyValue>& netFrameExtents,
                              const std::optional<PropertyValue>& gtkFrameExtents);
/// Reads both properties of `window`.
FrameMargins queryFrameMargins(const XConnection& x, xcb_window_t window);
/// The visible frame of `window` in root pixels; absent when the window is gone.
std::optional<PixelRect> queryVisibleFrame(const XConnection& x, xcb_window_t window);

}  // namespace tilvane::x11
