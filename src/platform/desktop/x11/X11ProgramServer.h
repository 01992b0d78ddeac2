#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/desktop/ProgramServer.h"
#include "platform/desktop/x11/CompositorWatch.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// What bringing one of the program's own windows to the user takes, given what the window manager says of it.
struct FrontRequests {
  /// The window manager does not manage it yet (it is being mapped): wait until it does.
  bool notManagedYet = false;
  /// It is minimised (ICCCM iconic): map it, which asks the window manager to show it again.
  bool map = false;
  /// Move it to this desktop (the one shown) first.
  std::optional<std::uint32_t> moveToDesktop;
};
/// From the window's WM_STATE (absent: withdrawn or not managed yet), its _NET_WM_DESKTOP and the desktop shown.
FrontRequests frontRequestsFor(std::optional<std::uint32_t> wmState, std::optional<std::uint32_t> windowDesktop,
                               std::optional<std::uint32_t> currentDesktop);

/// The program server of an X11 session: the toolkit's show, raise and activate do not reach a window that is
/// minimised or on another desktop, so bringing a window to the user goes through the window manager's EWMH
/// requests. The key window is the one last brought forward that is still shown (minimised or on another desktop
/// counts as shown; closed does not): activating the program brings it back, so a small window that came and
/// went meanwhile (the chooser) leaves the key to the window before it. Main thread only.
class X11ProgramServer final : public ProgramServer {
 public:
  explicit X11ProgramServer(const XConnection& x) : x_(x), compositor_(x) {}

  void activateIgnoringOtherApps(bool flag) override;
  void orderFront(std::uint64_t windowNumber) override;
  void setWindowLevel(std::uint64_t, CGWindowLevel) override {}
  bool isCompositing() const override { return compositor_.active(); }

  /// The root's _NET_CLIENT_LIST changed: a window waiting to be managed may be now.
  void clientListChanged();
  /// Takes an event of the connection; true when a compositing manager started or stopped.
  bool handle(const xcb_generic_event_t& event) { return compositor_.handle(event); }

 private:
  /// Sends what frontRequestsFor asks; false when the window is not managed (yet). `newlyManaged`: the window
  /// waited to be managed, and is only activated where it stands.
  bool bringForward(xcb_window_t window, bool newlyManaged = false);

  const XConnection& x_;
  CompositorWatch compositor_;
  /// The windows brought forward, the latest first, each once.
  std::vector<xcb_window_t> fronted_;
  /// A window ordered front before the window manager took it on.
  std::optional<xcb_window_t> waiting_;
};

}  // namespace tilvane::x11
