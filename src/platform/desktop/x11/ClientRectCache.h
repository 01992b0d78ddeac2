#pragma once

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <optional>

#include "platform/desktop/x11/PixelRect.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// Client areas of windows as read in the current turn of the main loop, absent for a window that is gone. One
/// operation asks for a window's frame and whether it is still there many times (checking that it may be laid
/// out, finding its display, each step of a placement): the server is asked once per turn. Within a turn no
/// event is handled, so the answer is what the program could know anyway; a window's entry goes at once on an
/// event about it (refresh()) and every entry when the next turn starts. Without an installed main loop there
/// are no turns, and every call reads the server. Main thread only.
class ClientRectCache {
 public:
  explicit ClientRectCache(const XConnection& x);
  ~ClientRectCache();
  ClientRectCache(const ClientRectCache&) = delete;
  ClientRectCache& operator=(const ClientRectCache&) = delete;

  /// The client area of this turn, read now when there is none.
  std::optional<PixelRect> get(xcb_window_t window);
  /// Whether this turn has read the window already (and so whether get() costs a round trip).
  bool has(xcb_window_t window) const { return rects_.count(window) > 0; }
  /// Reads the window again now, as after an event about it.
  std::optional<PixelRect> refresh(xcb_window_t window);
  /// Keeps what a read made elsewhere answered (a read that travelled with other requests).
  std::optional<PixelRect> keep(xcb_window_t window, std::optional<PixelRect> rect);
  void forget(xcb_window_t window) { rects_.erase(window); }

 private:
  const XConnection& x_;
  std::map<xcb_window_t, std::optional<PixelRect>> rects_;
  bool dropScheduled_ = false;
  /// Expires with the cache, so a scheduled drop never touches a destroyed one.
  std::shared_ptr<ClientRectCache*> self_;
};

}  // namespace tilvane::x11
