#include "WorkspaceLayout/Restore/ItemApplication.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "AppManager/Catalogue/AppManager.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

bool isProgramFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

ItemApplication describeItemApplication(const WorkspaceLayoutItemModel& item) {
  AppManager& catalogue = AppManager::shared();
  const std::string& path = item.appPath();
  const std::string& bundle = item.bundleIdentifier();
  if (const auto app = catalogue.appInfo(path))
    return {app->name, catalogue.icon(path, bundle), true};
  const auto& apps = catalogue.apps();
  const auto entry =
      std::find_if(apps.begin(), apps.end(), [&](const AppDescriptor& app) { return app.bundleID == bundle; });
  if (!bundle.empty() && entry != apps.end()) return {entry->name, catalogue.iconForBundleID(bundle), true};
  if (!path.empty()) {
    // A program without a desktop entry: its own file's name, and the generic application image.
    return {std::filesystem::path(path).filename().string(), std::string(), isProgramFile(path)};
  }
  return {bundle, std::nullopt, false};
}

std::string itemRowText(const ItemApplication& application) {
  if (application.found) return application.name;
  const std::string name = application.name.empty() ? NSLocalizedString("UnnamedApplication") : application.name;
  return name + " " + NSLocalizedString("ApplicationNotFound");
}

}  // namespace tilvane
