#pragma once

#include <optional>

#include "Models/ModelFields.h"

// The desktop and application, the display and desktop counts of the moment, the window's frame and its
// display's frame in whole points, and the creation time in whole seconds since 1970.
#define TILVANE_WINDOW_MOVING_MODEL_FIELDS(F)                        \
  F(Text, id, Id, [] { return makeUuidString(); })                   \
  F(Int, space, Space, 1)                                            \
  F(Text, bundleIdentifier, BundleIdentifier)                        \
  F(Int, screenCount, ScreenCount, 1)                                \
  F(Int, spaceCount, SpaceCount, 1)                                  \
  F(Int, x, X, 0)                                                    \
  F(Int, y, Y, 0)                                                    \
  F(Int, width, Width, 0)                                            \
  F(Int, height, Height, 0)                                          \
  F(Int, screenX, ScreenX, 0)                                        \
  F(Int, screenY, ScreenY, 0)                                        \
  F(Int, screenWidth, ScreenWidth, 0)                                \
  F(Int, screenHeight, ScreenHeight, 0)                              \
  F(Int, createAt, CreateAt, [] { return currentWholeSeconds(); })

namespace tilvane {

/// One entry of the write-only history of window placements.
class WindowMovingModel final : public store::Object {
 public:
  /// A display frame as the platform reports it.
  struct ScreenFrame {
    double x = 0, y = 0, width = 0, height = 0;
  };

  WindowMovingModel();
  /// A new record of a placement. Each coordinate is cut toward zero; a non-finite or out-of-range one is
  /// stored as 0. Without a display frame the four display fields are 0.
  WindowMovingModel(std::int64_t space, std::string bundleIdentifier, std::int64_t screenCount,
                    std::int64_t spaceCount, double x, double y, double width, double height,
                    std::optional<ScreenFrame> screenFrame);
  static const store::ObjectSchema& schema();

  TILVANE_MODEL_FIELDS(TILVANE_WINDOW_MOVING_MODEL_FIELDS)
};

}  // namespace tilvane
