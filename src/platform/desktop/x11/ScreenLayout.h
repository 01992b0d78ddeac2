#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/NSScreen.h"
#include "platform/desktop/x11/CoordinateSpace.h"
#include "platform/desktop/x11/Monitors.h"
#include "platform/desktop/x11/Struts.h"

namespace tilvane::x11 {

/// One display: a monitor, the part of it windows may use, and its UUID.
struct Display {
  Monitor monitor;
  /// The monitor less every panel's strut, root pixels.
  PixelRect usable;
  /// displayUuid(monitor.identityKey).
  std::string uuid;
};

/// The displays of the X screen at one instant, in the system's order (the primary display first, then the
/// others in RandR's order), with the coordinate space they define. A value: take a new one after a change.
class ScreenLayout {
 public:
  /// Arranges `monitors` (RandR order): picks the primary (RandR's primary, else the monitor at the root's
  /// origin, else the first), orders, and takes each monitor's usable area from `struts`.
  static ScreenLayout arrange(std::vector<Monitor> monitors, std::int64_t screenWidth, std::int64_t screenHeight,
                              const std::vector<Strut>& struts);
  /// Reads the screen's current size, the monitors, the struts of every managed window and the window manager's
  /// own panels (workAreaStruts) from the server and arranges them.
  static ScreenLayout query(const XConnection& x);

  const std::vector<Display>& displays() const { return displays_; }
  const CoordinateSpace& space() const { return space_; }
  /// The displays as NSScreen records (display space).
  std::vector<NSScreen> screens() const;
  /// The display that holds most of `r`; for a rectangle without area, the one holding its centre; null when
  /// none does.
  const Display* displayForRect(const PixelRect& r) const;
  /// The display that holds the pixel; null when none does.
  const Display* displayAt(std::int64_t x, std::int64_t y) const;

 private:
  ScreenLayout() : space_(PixelRect{}) {}
  std::vector<Display> displays_;
  CoordinateSpace space_;
};

/// The struts of every window in _NET_CLIENT_LIST (docks and panels), read in one pipelined batch; old-style
/// struts are measured from the edges of a screen of size `screen`.
std::vector<Strut> queryStruts(const XConnection& x, ScreenSize screen);

/// The work area (_NET_WORKAREA) of the desktop shown (the first when none is); absent when the window manager
/// keeps none.
std::optional<PixelRect> queryWorkArea(const XConnection& x);

/// The outer rectangles of the root's children that are shown (the window managers' frames and panels).
std::vector<PixelRect> queryShownTopWindows(const XConnection& x);

}  // namespace tilvane::x11
