#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "platform/desktop/Geometry.h"

namespace tilvane {

/// One display as the desktop reports it, a snapshot taken when it was listed. Frames are in the display space:
/// origin at the bottom-left corner of the primary display, y growing upwards, points.
///
/// The static members read the installed desktop (Desktop::current()) afresh at every call; without one there
/// is no display at all. Main thread only.
struct NSScreen {
  /// The whole display.
  CGRect frame;
  /// The part of the display that windows may use: the frame less menu bars, docks and panels (on X11, less
  /// the struts of the docks on this monitor).
  CGRect visibleFrame;

  /// The frame including dock and menu bar, the rectangle by which the window server names the display.
  CGRect frameIncludingDockAndMenu() const { return frame; }

  /// Every display, in the desktop's order; empty when none is attached or no desktop is installed.
  static std::vector<NSScreen> screens();
  /// The number of screens(), without listing them.
  static std::size_t count();
  /// The primary display: the first at origin (0, 0), else the first; absent without displays.
  static std::optional<NSScreen> primary();
  /// Calls `visit` with each of screens(), in order, without listing them.
  static void visitScreens(const std::function<void(const NSScreen&)>& visit);
  /// The display that holds the focus (the active window, else the pointer); absent without displays.
  static std::optional<NSScreen> mainScreen();
  /// Whether each display has desktops of its own (true) or all displays share one set (false).
  static bool screensHaveSeparateSpaces();

  bool operator==(const NSScreen&) const = default;
};

}  // namespace tilvane
