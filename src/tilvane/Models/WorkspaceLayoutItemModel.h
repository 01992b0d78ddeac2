#pragma once

#include <cstdint>
#include <string>

#include "platform/store/Object.h"

namespace tilvane {

/// One remembered window of a workspace: its application, document, desktop, display and frame (fractions of
/// the display's visible frame, from its top-left corner).
class WorkspaceLayoutItemModel final : public store::Object {
 public:
  /// A new item with a fresh UUID id, spaceCount and screenCount 1, everything else empty or 0.
  WorkspaceLayoutItemModel();
  static const store::ObjectSchema& schema();

  std::string id() const { return stringValue(kId); }
  void setId(std::string v) { setValue(kId, std::move(v)); }
  std::string devicesIdentifier() const { return stringValue(kDevicesIdentifier); }
  void setDevicesIdentifier(std::string v) { setValue(kDevicesIdentifier, std::move(v)); }
  std::string bundleIdentifier() const { return stringValue(kBundleIdentifier); }
  void setBundleIdentifier(std::string v) { setValue(kBundleIdentifier, std::move(v)); }
  std::string appPath() const { return stringValue(kAppPath); }
  void setAppPath(std::string v) { setValue(kAppPath, std::move(v)); }
  std::string filePath() const { return stringValue(kFilePath); }
  void setFilePath(std::string v) { setValue(kFilePath, std::move(v)); }
  std::string windowTitle() const { return stringValue(kWindowTitle); }
  void setWindowTitle(std::string v) { setValue(kWindowTitle, std::move(v)); }
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

 private:
  enum : std::size_t {
    kId,
    kDevicesIdentifier,
    kBundleIdentifier,
    kAppPath,
    kFilePath,
    kWindowTitle,
    kSpaceIndex,
    kSpaceCount,
    kScreenIndex,
    kScreenCount,
    kX,
    kY,
    kWidth,
    kHeight
  };
};

}  // namespace tilvane
