#pragma once

#include <functional>
#include <optional>

#include "platform/desktop/x11/ScreenLayout.h"

namespace tilvane::x11 {

/// The displays as last read, kept until an event says they may have changed (invalidate()): RandR changes, the
/// root's size, the work area, the desktop shown, the client list (docks come and go) and a client's struts.
/// Reading them costs about six round trips, and a hot key converts frames through the primary display at every
/// step of a move; with the displays kept, nothing stands between the key and the move request. Without an
/// installed main loop no event is delivered, so every call reads the server. Main thread only.
class ScreenLayoutCache {
 public:
  /// `query` reads the layout from the server.
  explicit ScreenLayoutCache(std::function<ScreenLayout()> query) : query_(std::move(query)) {}

  /// The layout kept, read now when there is none. Without a main loop it is read at every call, and the
  /// reference holds until the next one.
  const ScreenLayout& get();
  /// Drops the layout: the next get() reads the server.
  void invalidate() { layout_.reset(); }

 private:
  std::function<ScreenLayout()> query_;
  std::optional<ScreenLayout> layout_;
};

}  // namespace tilvane::x11
