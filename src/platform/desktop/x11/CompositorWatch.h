#pragma once

#include <xcb/xcb.h>

#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// Whether a compositing manager runs on the connection's screen: the EWMH has one own the selection
/// _NET_WM_CM_S<screen> while it runs. Its owner is followed through XFixes, so a compositor that starts, stops or
/// is replaced is seen when it happens; without XFixes the owner is read once, when the watch is made. Main thread
/// only.
class CompositorWatch {
 public:
  explicit CompositorWatch(const XConnection& x);
  CompositorWatch(const CompositorWatch&) = delete;
  CompositorWatch& operator=(const CompositorWatch&) = delete;

  bool active() const { return active_; }
  /// Takes an event of the connection; true when it changed active().
  bool handle(const xcb_generic_event_t& event);

 private:
  const XConnection& x_;
  xcb_atom_t selection_ = XCB_ATOM_NONE;
  bool active_ = false;
};

}  // namespace tilvane::x11
