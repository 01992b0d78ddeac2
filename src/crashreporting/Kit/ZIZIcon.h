#pragma once

#include <optional>
#include <string>

#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/Value.h"

namespace crashreporting {

struct ZIZSize {
  double width = 0;
  double height = 0;
};

/// The application's icon as it is registered: PNG bytes, their SHA-1 (40 lower-case hexadecimal
/// characters), the size in points, and whether it is prerendered.
class ZIZIcon {
 public:
  ZIZIcon(Data data, ZIZSize size, bool prerendered = true);

  /// The icon of a PNG image: its size from the image header; none for bytes that are not a PNG.
  static std::optional<ZIZIcon> initWithImage(const Data& png);

  const Data& data() const { return data_; }
  const std::string& dataHash() const { return dataHash_; }
  ZIZSize size() const { return size_; }
  bool prerendered() const { return prerendered_; }
  double surfaceArea() const { return size_.width * size_.height; }
  /// At most 1024 × 1024.
  bool isWithinMaxSurfaceArea() const { return surfaceArea() <= 1048576.0; }
  bool largerThanSize(ZIZSize size) const { return surfaceArea() > size.width * size.height; }

 private:
  Data data_;
  std::string dataHash_;
  ZIZSize size_;
  bool prerendered_;
};

/// The host application's icon: the PNG that the bundle's "CFBundleIconFile" names (".png" added when it has
/// no extension), in the bundle's Contents/Resources or the bundle folder itself.
class ZIZAppIconUtility {
 public:
  /// Looked up once; none without a bundle folder or a readable PNG.
  const std::optional<ZIZIcon>& applicationIcon();
  static std::optional<ZIZIcon> fetchApplicationIcon(const std::optional<BundleInfo>& bundle);

 private:
  bool fetched_ = false;
  std::optional<ZIZIcon> applicationIcon_;
};

}  // namespace crashreporting
