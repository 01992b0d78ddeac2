#pragma once

#include <cstdint>
#include <optional>

#include "platform/desktop/x11/Properties.h"

namespace tilvane::x11 {

/// How much of WM_NORMAL_HINTS is read: its 18 32-bit fields.
inline constexpr std::uint32_t kNormalHintsBytes = 18 * 4;

/// What a client's WM_NORMAL_HINTS say of the sizes it takes (ICCCM 4.1.2.3): window managers give a client no
/// size outside its minimum and maximum, and only sizes of its base plus whole steps (terminals step by
/// character cells). Fields the client leaves out are no constraint.
struct SizeHints {
  std::int64_t minWidth = 0, minHeight = 0;
  std::int64_t maxWidth = 0, maxHeight = 0;  // 0: none
  std::int64_t baseWidth = 0, baseHeight = 0;
  std::int64_t widthStep = 1, heightStep = 1;

  /// The client size a window manager makes of a request for `width` x `height`: within the bounds, and rounded
  /// down to the base plus whole steps, never below the minimum.
  std::pair<std::int64_t, std::int64_t> constrain(std::int64_t width, std::int64_t height) const;
};

/// The hints of a WM_NORMAL_HINTS value read already; none for a missing or malformed value (another program's
/// data: nonsense such as negative or huge numbers is ignored field by field).
SizeHints sizeHintsFrom(const std::optional<PropertyValue>& normalHints);

}  // namespace tilvane::x11
