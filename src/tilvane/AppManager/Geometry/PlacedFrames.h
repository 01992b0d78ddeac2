#pragma once

#include <unordered_map>
#include <vector>

#include "platform/base/SharedInstance.h"
#include "platform/desktop/Geometry.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// What the last placement of each window asked for (window space), to tell its own move and resize reports
/// from changes made by someone else, however soon these follow.
///
/// A placement sends a few requests, and each report of the window shows it at the frame of one of them: on
/// its way (the new origin with the old size, or the other way round) or where it ends. It may end at the frame
/// asked for or at the one the desktop expects (a window that sizes in steps, such as a terminal, is rounded to
/// them by some window managers and not by others). Once it has been seen at an end the placement has arrived,
/// and only reports of the window still standing at an end are its echo. A report of any other frame ends the
/// placement: it is a change to record. Main thread.
class PlacedFrames {
 public:
  /// Frames closer than this (each edge, in points) are the same place: the window system rounds to pixels.
  static constexpr double kTolerance = 2.0;
  /// Frames of earlier placements still on the way, at most: placements in quick succession stay few.
  static constexpr std::size_t kMaxKept = 16;

  static PlacedFrames& shared() { return SharedInstance<PlacedFrames>::get(); }

  /// `window` is asked to take `asked`, expected to end at `expected`, passing through `onTheWay`; replaces an
  /// earlier placement, whose frames stay on the way while it has not arrived.
  void placed(const SIWindow& window, std::vector<CGRect> onTheWay, const CGRect& asked, const CGRect& expected);
  /// A further request of the same placement moves the window on to `origin`, its size as it was.
  void movedOn(const SIWindow& window, const CGPoint& origin);
  /// Whether a report finding `window` at `frame` is the echo of its placement. Anything else ends the
  /// placement.
  bool isEcho(const SIWindow& window, const CGRect& frame);
  /// Forgets the window (it is no longer managed).
  void forget(const SIWindow& window);

 private:
  struct Placement {
    std::vector<CGRect> onTheWay;
    std::vector<CGRect> ends;
    bool arrived = false;
  };
  Placement* find(const SIWindow& window);
  // By window: every report of every window asks, and windows are managed by the thousand.
  std::unordered_map<AXUIElement, Placement> placements_;
};

}  // namespace tilvane
