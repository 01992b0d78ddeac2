#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/desktop/AXUIElement.h"

namespace tilvane {

// The window server's list of windows, answered by the installed desktop (Desktop::current()). Main thread only.

/// Which windows CGWindowListCopyWindowInfo lists.
using CGWindowListOption = std::uint32_t;
/// Every window.
inline constexpr CGWindowListOption kCGWindowListOptionAll = 0;
/// Only windows shown now (not minimised, on a desktop that a display shows).
inline constexpr CGWindowListOption kCGWindowListOptionOnScreenOnly = 1;
/// "No reference window".
inline constexpr CGWindowID kCGNullWindowID = 0;

/// One entry of the list. Other programs' data: any field may be missing.
struct CGWindowInfo {
  /// "kCGWindowNumber".
  CGWindowID windowNumber = 0;
  /// "kCGWindowOwnerPID": the process that owns the window.
  std::optional<pid_t> ownerPID;
  bool operator==(const CGWindowInfo&) const = default;
};

/// The windows that `option` selects, front to back; `relativeToWindow` is kept for the callers that pass one
/// and must be kCGNullWindowID. Absent when the list cannot be obtained (or no desktop is installed).
std::optional<std::vector<CGWindowInfo>> CGWindowListCopyWindowInfo(CGWindowListOption option,
                                                                     CGWindowID relativeToWindow);

}  // namespace tilvane
