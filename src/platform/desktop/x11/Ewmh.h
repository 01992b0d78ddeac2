#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/x11/PixelRect.h"
#include "platform/desktop/x11/Properties.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

// Reading and requesting the EWMH state the window manager keeps: desktops, the active window, frame extents,
// and the client messages through which a program asks the window manager for changes.

/// Desktop numbers are bounded: a larger _NET_NUMBER_OF_DESKTOPS is read as this many.
inline constexpr std::uint32_t kMaxDesktops = 1024;

/// The EWMH desktops: how many there are (0 when the window manager does not say) and which one is shown.
struct DesktopState {
  std::uint32_t count = 0;
  /// Absent when missing or not below count.
  std::optional<std::uint32_t> current;
};
DesktopState queryDesktops(const XConnection& x);
/// The same from values of _NET_NUMBER_OF_DESKTOPS and _NET_CURRENT_DESKTOP read already.
DesktopState desktopsFrom(const std::optional<PropertyValue>& count, const std::optional<PropertyValue>& current);

/// The active window (_NET_ACTIVE_WINDOW), absent when none.
std::optional<xcb_window_t> queryActiveWindow(const XConnection& x);

/// The windows the window manager manages (_NET_CLIENT_LIST), at most kMaxClients; empty when it says none.
inline constexpr std::size_t kMaxClients = 4096;
std::vector<xcb_window_t> queryClientList(const XConnection& x);

/// Frame extents of a managed window: what the window manager's decoration adds on each side.
struct FrameExtents {
  std::uint32_t left = 0, right = 0, top = 0, bottom = 0;
  bool operator==(const FrameExtents&) const = default;
};
/// _NET_FRAME_EXTENTS, each side clamped to 4096; zeros when missing or malformed.
FrameExtents queryFrameExtents(const XConnection& x, xcb_window_t window);
/// The same from a value read already.
FrameExtents frameExtentsFrom(const std::optional<PropertyValue>& value);
/// How much of _NET_FRAME_EXTENTS is read.
inline constexpr std::uint32_t kFrameExtentsBytes = 16;
/// The active window from a value of _NET_ACTIVE_WINDOW read already.
std::optional<xcb_window_t> activeWindowFrom(const std::optional<PropertyValue>& value);
/// The outer frame of a client area with the decoration around it.
PixelRect outerFrameOf(const PixelRect& client, const FrameExtents& extents);

/// The client area of a window in root pixels; absent when the window is gone.
std::optional<PixelRect> queryClientRect(const XConnection& x, xcb_window_t window);
/// The same read in flight: asked on construction, answered by get(), so other requests can go out meanwhile.
class ClientRectRequest {
 public:
  ClientRectRequest(const XConnection& x, xcb_window_t window);
  /// An answer never asked for is discarded.
  ~ClientRectRequest();
  ClientRectRequest(const ClientRectRequest&) = delete;
  ClientRectRequest& operator=(const ClientRectRequest&) = delete;
  std::optional<PixelRect> get();

 private:
  const XConnection* x_;
  xcb_get_geometry_cookie_t geometry_;
  xcb_translate_coordinates_cookie_t origin_;
  bool done_ = false;
};

/// Sends an EWMH client message about `window` to the root, as the specification asks programs to.
void sendClientMessage(const XConnection& x, xcb_window_t window, xcb_atom_t type, std::uint32_t d0,
                       std::uint32_t d1 = 0, std::uint32_t d2 = 0, std::uint32_t d3 = 0, std::uint32_t d4 = 0);

/// Asks the window manager to show desktop `n`.
void requestCurrentDesktop(const XConnection& x, std::uint32_t n);

}  // namespace tilvane::x11
