#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/Geometry.h"
#include "platform/desktop/ManagedDisplaySpaces.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane {

/// The backend's answers about displays and desktops: what NSScreen and the window-server queries read.
///
/// A backend keeps one consistent picture: every display it lists in screens() is named by
/// bestManagedDisplayForRect(its frame) with the "Display Identifier" it carries in the managed listing, and
/// frames are in the display space (bottom-left origin of the primary display, y up). An X11 backend converts
/// RandR monitor geometry into that space, takes each monitor's usable area from the docks' struts, reports
/// shared desktops (one numbering for all monitors) and derives desktop identifiers from desktop numbers.
/// Called on the main thread only.
class DisplayServer {
 public:
  virtual ~DisplayServer() = default;

  /// Every display, in the system's order.
  virtual std::vector<NSScreen> screens() const = 0;
  /// Calls `visit` with each display of screens(), in order, without making the list: displays are looked
  /// through several times for every window met. By default it walks screens().
  virtual void visitScreens(const std::function<void(const NSScreen&)>& visit) const;
  /// How many displays screens() lists, and its primary display (the first at origin (0, 0), else the first;
  /// absent without displays). Asked several times for every window met, so a backend may answer them from
  /// what it keeps; by default they walk visitScreens().
  virtual std::size_t screenCount() const;
  virtual std::optional<NSScreen> primaryScreen() const;

  /// The primary among `displays`, whose frames in the display space `frameOf` gives: the first at the origin,
  /// else the first; null without displays. The one rule for every backend's primaryScreen().
  template <class Display, class FrameOf>
  static const Display* primaryOf(const std::vector<Display>& displays, FrameOf frameOf) {
    for (const Display& d : displays) {
      const CGRect frame = frameOf(d);
      if (frame.origin.x == 0.0 && frame.origin.y == 0.0) return &d;
    }
    return displays.empty() ? nullptr : &displays.front();
  }
  /// The display that holds the focus; absent without displays.
  virtual std::optional<NSScreen> mainScreen() const = 0;
  /// Whether each display has desktops of its own.
  virtual bool screensHaveSeparateSpaces() const = 0;
  /// The displays with their desktops and current desktop (see ManagedDisplaySpaces.h); absent when the
  /// window server answers nothing.
  virtual std::optional<ManagedDisplaySpaces> copyManagedDisplaySpaces() const = 0;
  /// The UUID of the display that holds most of `rect`; absent when none does or it has no name.
  virtual std::optional<std::string> bestManagedDisplayForRect(const CGRect& rect) const = 0;
  /// The current desktop's UUID that copyManagedDisplaySpaces() gives the display named `displayIdentifier`
  /// (the first listed display when absent); absent where it gives none. Asked for every window met, so a
  /// backend may answer it without making the listing; by default it is read from the listing.
  virtual std::optional<std::string> currentSpaceOfDisplay(
      const std::optional<std::string>& displayIdentifier) const;
};

}  // namespace tilvane
