#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/apps/InstalledApplication.h"

namespace tilvane::apps {

/// Where the catalogue of installed applications comes from: a folder of application bundles (BundleFolderSource)
/// or the desktop entries of the XDG data folders (XdgApplicationSource). Every file is another program's
/// data: a source reads each with a size bound and passes over what it cannot read, silently.
class ApplicationSource {
 public:
  virtual ~ApplicationSource() = default;

  /// The locations (bundle folders or desktop-entry files) of the installed applications, agents left out, in
  /// a stable order.
  virtual std::vector<std::string> applicationPaths() const = 0;

  /// The application at `path` (one of applicationPaths(), or one the user picked by hand); absent when its
  /// description cannot be read.
  virtual std::optional<InstalledApplication> applicationInfo(const std::string& path) const = 0;

  /// The icon the application at `path` declares; absent when it declares none or cannot be read.
  virtual std::optional<std::string> iconForPath(const std::string& path) const = 0;
  /// The application that opens folders for the user, the catalogue's first entry; by default the file
  /// manager of a system of bundles.
  virtual std::optional<InstalledApplication> fileManager() const {
    return InstalledApplication{"Finder", "com.apple.finder", "finder"};
  }
  /// The path of the application with bundle identifier `identifier`, absent when the source cannot say.
  virtual std::optional<std::string> pathForIdentifier(const std::string& identifier) const {
    (void)identifier;
    return std::nullopt;
  }
};

}  // namespace tilvane::apps
