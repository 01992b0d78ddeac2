#pragma once

#include <optional>

#include "platform/desktop/Geometry.h"
#include "platform/desktop/x11/PixelRect.h"

namespace tilvane::x11 {

/// Converts between root pixels and the program's two spaces, both anchored at the primary display:
/// - the display space: origin at the primary display's bottom-left corner, y up (display frames);
/// - the window space: origin at the primary display's top-left corner, y down (window frames).
/// The primary display's height is the pivot of the flip, so its frame is (0, 0, w, h) in both spaces.
class CoordinateSpace {
 public:
  explicit CoordinateSpace(const PixelRect& primary) : primary_(primary) {}

  const PixelRect& primary() const { return primary_; }
  CGRect toDisplaySpace(const PixelRect& r) const;
  CGRect toWindowSpace(const PixelRect& r) const;
  CGPoint toWindowSpace(std::int64_t x, std::int64_t y) const;
  /// Root pixels of a window-space rectangle, rounded to whole pixels and clamped to what X can express
  /// (positions within ±32767, sizes 1 to 32767). Absent for non-finite values.
  std::optional<PixelRect> fromWindowSpace(const CGRect& r) const;
  /// Root pixels of a display-space rectangle, rounded and clamped as above; absent for non-finite values.
  std::optional<PixelRect> fromDisplaySpace(const CGRect& r) const;
  /// Root pixels of a window-space point (rounded and clamped as above); absent for non-finite values.
  std::optional<PixelRect> fromWindowSpace(const CGPoint& p) const;

 private:
  PixelRect primary_;
};

}  // namespace tilvane::x11
