#include "platform/apps/BundleFolderSource.h"

#include "platform/apps/BundleReader.h"
#include "platform/apps/BundleScan.h"

namespace tilvane::apps {

BundleFolderSource::BundleFolderSource(std::string folder) : folder_(std::move(folder)) {}

std::vector<std::string> BundleFolderSource::applicationPaths() const {
  std::vector<std::string> paths;
  for (const std::string& name : scanApplicationsFolder(folder_)) {
    std::string path = folder_ + "/" + name;
    if (!isAgentBundle(path)) paths.push_back(std::move(path));
  }
  return paths;
}

std::optional<InstalledApplication> BundleFolderSource::applicationInfo(const std::string& path) const {
  return readBundle(path);
}

std::optional<std::string> BundleFolderSource::iconForPath(const std::string& path) const {
  return bundleIconPath(path);
}

}  // namespace tilvane::apps
