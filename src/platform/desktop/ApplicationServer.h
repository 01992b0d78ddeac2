#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop/AXUIElement.h"
#include "platform/desktop/CGWindowList.h"
#include "platform/desktop/Geometry.h"
#include "platform/desktop/NSRunningApplication.h"

namespace tilvane {

/// Called with the element a notification names (for window notifications, the window).
using AXObserverHandler = std::function<void(const AXUIElement& element)>;

/// The backend's answers about running applications and their windows: what NSRunningApplication, the
/// Accessibility calls, SIApplication, SIWindow and the window list read and do.
///
/// Window frames are in the window space: origin at the top-left corner of the primary display, y growing
/// downwards, points. An X11 backend lists the processes that own client windows, takes a window's frame from
/// its frame window less the frame extents, and reports the window notifications from the X events of the
/// client and its frame. Main thread only.
class ApplicationServer {
 public:
  virtual ~ApplicationServer() = default;

  // --- running applications ---

  /// Every running application, in the backend's order.
  virtual std::vector<NSRunningApplication> runningApplications() const = 0;
  /// The running application with process `pid`, if any.
  virtual std::optional<NSRunningApplication> runningApplication(pid_t pid) const = 0;

  // --- elements ---

  /// Reads an attribute; see AXUIElementCopyAttributeValue. An application answers kAXWindowsAttribute with its
  /// windows on the desktops now shown (minimised ones included); a window answers title, subrole and
  /// minimised state.
  virtual AXError copyAttributeValue(const AXUIElement& element, std::string_view attribute,
                                     AXValue& value) const = 0;

  // --- windows ---

  /// The window's frame; absent when the window is gone.
  virtual std::optional<CGRect> windowFrame(const AXUIElement& window) const = 0;
  /// Whether the window can be moved (and so resized) by others.
  virtual bool isWindowMovable(const AXUIElement& window) const = 0;
  /// Asks the window to move its top-left corner to `position`. Callers send only finite values. False when
  /// the window refused or is gone.
  virtual bool setWindowPosition(const AXUIElement& window, CGPoint position) = 0;
  /// Asks the window to take `size` (the application may keep a minimum). Callers send only finite sizes
  /// above 0. False when the window refused or is gone.
  virtual bool setWindowSize(const AXUIElement& window, CGSize size) = 0;
  /// Asks the window to take `frame`: by default its position, then its size; a backend that can ask for both
  /// at once does so in one request. False when the window refused or is gone.
  virtual bool setWindowFrame(const AXUIElement& window, const CGRect& frame) {
    const bool moved = setWindowPosition(window, frame.origin);
    const bool sized = setWindowSize(window, frame.size);
    return moved && sized;
  }
  /// While on, reads of windows answer from what the backend knows already, without asking the window server
  /// whether the window is still there (X11: from the events handled so far). For a decision whose request
  /// carries its own check, so that nothing waits for the server before the request goes out. Calls pair up
  /// and nest; off by default.
  virtual void setReadsFromKnownState(bool) {}
  /// Raises the window and gives it the focus.
  virtual bool focusWindow(const AXUIElement& window) = 0;
  /// The window that has the focus, if any.
  virtual std::optional<AXUIElement> focusedWindow() const = 0;
  /// Moves the window to the desktop at `position`, counted from 1 in the window server's listing order.
  virtual bool moveWindowToSpace(const AXUIElement& window, int position) = 0;
  /// The desktop the window is on, as moveWindowToSpace counts it less one; absent when the window is on every
  /// desktop, or the backend cannot tell.
  virtual std::optional<int> windowSpace(const AXUIElement&) const { return std::nullopt; }

  // --- notifications ---

  /// Calls `handler` on the main loop whenever the application `application` raises `notification` for
  /// `element` (the application itself for its window notifications, a window for its own destruction),
  /// until removed. A second registration for the same triple replaces the first. False when the
  /// application cannot be observed (it does not run).
  virtual bool addObserver(const AXUIElement& application, std::string_view notification,
                           const AXUIElement& element, AXObserverHandler handler) = 0;
  /// Ends a registration; false when there was none.
  virtual bool removeObserver(const AXUIElement& application, std::string_view notification,
                              const AXUIElement& element) = 0;

  // --- the window list ---

  /// See CGWindowListCopyWindowInfo.
  virtual std::optional<std::vector<CGWindowInfo>> copyWindowInfo(CGWindowListOption option) const = 0;
};

}  // namespace tilvane
