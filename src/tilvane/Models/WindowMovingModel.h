#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/store/Object.h"

namespace tilvane {

/// One entry of the write-only history of window placements: the window's frame and its display's frame in
/// whole points, with the desktop and display counts of the moment.
class WindowMovingModel final : public store::Object {
 public:
  /// A display frame as the platform reports it.
  struct ScreenFrame {
    double x = 0, y = 0, width = 0, height = 0;
  };

  /// A new record: fresh UUID id, space, screenCount and spaceCount 1, frames 0, createAt now.
  WindowMovingModel();
  /// A new record of a placement. Each coordinate is cut toward zero; a non-finite or out-of-range one is
  /// stored as 0. Without a display frame the four display fields are 0.
  WindowMovingModel(std::int64_t space, std::string bundleIdentifier, std::int64_t screenCount,
                    std::int64_t spaceCount, double x, double y, double width, double height,
                    std::optional<ScreenFrame> screenFrame);
  static const store::ObjectSchema& schema();

  std::string id() const { return stringValue(kId); }
  void setId(std::string v) { setValue(kId, std::move(v)); }
  std::int64_t space() const { return intValue(kSpace); }
  void setSpace(std::int64_t v) { setValue(kSpace, v); }
  std::string bundleIdentifier() const { return stringValue(kBundleIdentifier); }
  void setBundleIdentifier(std::string v) { setValue(kBundleIdentifier, std::move(v)); }
  std::int64_t screenCount() const { return intValue(kScreenCount); }
  void setScreenCount(std::int64_t v) { setValue(kScreenCount, v); }
  std::int64_t spaceCount() const { return intValue(kSpaceCount); }
  void setSpaceCount(std::int64_t v) { setValue(kSpaceCount, v); }
  std::int64_t x() const { return intValue(kX); }
  void setX(std::int64_t v) { setValue(kX, v); }
  std::int64_t y() const { return intValue(kY); }
  void setY(std::int64_t v) { setValue(kY, v); }
  std::int64_t width() const { return intValue(kWidth); }
  void setWidth(std::int64_t v) { setValue(kWidth, v); }
  std::int64_t height() const { return intValue(kHeight); }
  void setHeight(std::int64_t v) { setValue(kHeight, v); }
  std::int64_t screenX() const { return intValue(kScreenX); }
  void setScreenX(std::int64_t v) { setValue(kScreenX, v); }
  std::int64_t screenY() const { return intValue(kScreenY); }
  void setScreenY(std::int64_t v) { setValue(kScreenY, v); }
  std::int64_t screenWidth() const { return intValue(kScreenWidth); }
  void setScreenWidth(std::int64_t v) { setValue(kScreenWidth, v); }
  std::int64_t screenHeight() const { return intValue(kScreenHeight); }
  void setScreenHeight(std::int64_t v) { setValue(kScreenHeight, v); }
  /// Creation time in whole seconds since 1970.
  std::int64_t createAt() const { return intValue(kCreateAt); }
  void setCreateAt(std::int64_t v) { setValue(kCreateAt, v); }

 private:
  enum : std::size_t {
    kId,
    kSpace,
    kBundleIdentifier,
    kScreenCount,
    kSpaceCount,
    kX,
    kY,
    kWidth,
    kHeight,
    kScreenX,
    kScreenY,
    kScreenWidth,
    kScreenHeight,
    kCreateAt
  };
};

}  // namespace tilvane
