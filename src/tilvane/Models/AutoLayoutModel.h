#pragma once

#include <cstdint>
#include <string>

#include "platform/store/Object.h"

namespace tilvane {

/// The remembered placement of one window slot: an application's window of a given index with a given
/// number of displays. x, y, width, height are fractions of the display's visible frame from its top-left.
class AutoLayoutModel final : public store::Object {
 public:
  /// A new record: empty id and bundle identifier, spaceCount and screenCount 1, other numbers 0, updateAt
  /// the current time in whole seconds.
  AutoLayoutModel();
  static const store::ObjectSchema& schema();

  /// Sets id to bundleIdentifier, windowIndex and screenCount joined with "-" (e.g. "com.apple.Safari-0-1").
  /// Call it after setting those fields and before storing; later changes of them do not touch the id.
  void makeId();

  std::string id() const { return stringValue(kId); }
  void setId(std::string v) { setValue(kId, std::move(v)); }
  std::string bundleIdentifier() const { return stringValue(kBundleIdentifier); }
  void setBundleIdentifier(std::string v) { setValue(kBundleIdentifier, std::move(v)); }
  std::int64_t windowID() const { return intValue(kWindowID); }
  void setWindowID(std::int64_t v) { setValue(kWindowID, v); }
  std::int64_t windowIndex() const { return intValue(kWindowIndex); }
  void setWindowIndex(std::int64_t v) { setValue(kWindowIndex, v); }
  std::int64_t spaceIndex() const { return intValue(kSpaceIndex); }
  void setSpaceIndex(std::int64_t v) { setValue(kSpaceIndex, v); }
  std::int64_t spaceCount() const { return intValue(kSpaceCount); }
  void setSpaceCount(std::int64_t v) { setValue(kSpaceCount, v); }
  std::int64_t screenIndex() const { return intValue(kScreenIndex); }
  void setScreenIndex(std::int64_t v) { setValue(kScreenIndex, v); }
  std::int64_t screenCount() const { return intValue(kScreenCount); }
  void setScreenCount(std::int64_t v) { setValue(kScreenCount, v); }
  double x() const { return realValue(kX); }
  void setX(double v) { setValue(kX, v); }
  double y() const { return realValue(kY); }
  void setY(double v) { setValue(kY, v); }
  double width() const { return realValue(kWidth); }
  void setWidth(double v) { setValue(kWidth, v); }
  double height() const { return realValue(kHeight); }
  void setHeight(double v) { setValue(kHeight, v); }
  /// Creation time in whole seconds since 1970.
  std::int64_t updateAt() const { return intValue(kUpdateAt); }
  void setUpdateAt(std::int64_t v) { setValue(kUpdateAt, v); }

 private:
  enum : std::size_t {
    kId,
    kBundleIdentifier,
    kWindowID,
    kWindowIndex,
    kSpaceIndex,
    kSpaceCount,
    kScreenIndex,
    kScreenCount,
    kX,
    kY,
    kWidth,
    kHeight,
    kUpdateAt
  };
};

}  // namespace tilvane
