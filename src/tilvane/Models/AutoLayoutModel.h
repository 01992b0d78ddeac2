#pragma once

#include "Models/ModelFields.h"

// id, then the slot (application, window index, desktop and display with their counts), the placement in
// fractions, the creation time in whole seconds since 1970, and the gap the fractions were taken with (added
// last: files made before read it as 0).
#define TILVANE_AUTO_LAYOUT_MODEL_FIELDS(F)                   \
  F(Text, id, Id)                                             \
  F(IndexedText, bundleIdentifier, BundleIdentifier)          \
  F(Int, windowID, WindowID, 0)                               \
  F(Int, windowIndex, WindowIndex, 0)                         \
  F(Int, spaceIndex, SpaceIndex, 0)                           \
  F(Int, spaceCount, SpaceCount, 1)                           \
  F(Int, screenIndex, ScreenIndex, 0)                         \
  F(Int, screenCount, ScreenCount, 1)                         \
  F(Real, x, X)                                               \
  F(Real, y, Y)                                               \
  F(Real, width, Width)                                       \
  F(Real, height, Height)                                     \
  F(Int, updateAt, UpdateAt, [] { return currentWholeSeconds(); }) \
  F(Real, gutter, Gutter)

namespace tilvane {

/// The remembered placement of one window slot: an application's window of a given index with a given
/// number of displays. x, y, width, height are fractions of the display's visible frame, grown by `gutter` points
/// on every side, from its top-left (see RecordedPlace).
class AutoLayoutModel final : public store::Object {
 public:
  AutoLayoutModel();
  static const store::ObjectSchema& schema();

  /// Sets id to bundleIdentifier, windowIndex and screenCount joined with "-" (e.g. "com.apple.Safari-0-1").
  /// Call it after setting those fields and before storing; later changes of them do not touch the id.
  void makeId();
  /// The id makeId() makes of these fields.
  static std::string idFor(const std::string& bundleIdentifier, std::int64_t windowIndex,
                           std::int64_t screenCount);

  TILVANE_MODEL_FIELDS(TILVANE_AUTO_LAYOUT_MODEL_FIELDS)
};

}  // namespace tilvane
