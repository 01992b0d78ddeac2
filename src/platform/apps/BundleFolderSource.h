#pragma once

#include <string>

#include "platform/apps/ApplicationSource.h"

namespace tilvane::apps {

/// The application bundles of one folder and of its direct sub-folders (see scanApplicationsFolder), agents
/// (LSUIElement true) left out, described by their Info.plist.
class BundleFolderSource final : public ApplicationSource {
 public:
  explicit BundleFolderSource(std::string folder);

  const std::string& folder() const { return folder_; }

  /// "<folder>/<name>" for each bundle found that is not an agent, in scan order.
  std::vector<std::string> applicationPaths() const override;
  /// readBundle(path).
  std::optional<InstalledApplication> applicationInfo(const std::string& path) const override;
  /// bundleIconPath(path).
  std::optional<std::string> iconForPath(const std::string& path) const override;

 private:
  std::string folder_;
};

}  // namespace tilvane::apps
