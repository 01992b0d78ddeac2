#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/desktop/x11/ScreenLayout.h"

namespace tilvane::x11 {

/// The displays as last read, kept for the rest of the current turn of the main loop: one operation that asks
/// for the displays many times (a window move converts frames through the primary display again and again)
/// reads the server once, about six round trips. The layout is dropped when the next turn starts, and at once
/// when an event says the displays may have changed (invalidate()). Within a turn no event is handled, so the
/// answer is what the program could know anyway. Main thread only.
class ScreenLayoutCache {
 public:
  /// `query` reads the layout from the server.
  explicit ScreenLayoutCache(std::function<ScreenLayout()> query);
  ~ScreenLayoutCache();
  ScreenLayoutCache(const ScreenLayoutCache&) = delete;
  ScreenLayoutCache& operator=(const ScreenLayoutCache&) = delete;

  /// The layout of this turn, read now when there is none. Without an installed main loop there are no turns
  /// to bound a cache by, and every call reads the server.
  ScreenLayout get();
  /// Drops the layout: the next get() reads the server.
  void invalidate() { layout_.reset(); }

 private:
  std::function<ScreenLayout()> query_;
  std::optional<ScreenLayout> layout_;
  bool dropScheduled_ = false;
  /// Expires with the cache, so a scheduled drop never touches a destroyed one.
  std::shared_ptr<ScreenLayoutCache*> self_;
};

}  // namespace tilvane::x11
