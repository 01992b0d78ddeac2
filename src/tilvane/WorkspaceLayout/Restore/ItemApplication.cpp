#include "WorkspaceLayout/Restore/ItemApplication.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "AppManager/Catalogue/AppManager.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/NSRunningApplication.h"
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
  if (const AppDescriptor* entry = bundle.empty() ? nullptr : catalogue.appWithIdentifier(bundle))
    return {entry->name, catalogue.iconForBundleID(bundle), true};
  // A program without a desktop entry: its own file's name, and the generic application image.
  const auto program = [](const std::string& file) {
    return ItemApplication{std::filesystem::path(file).filename().string(), std::string(), isProgramFile(file)};
  };
  if (!path.empty()) return program(path);
  if (bundle.empty()) return {bundle, std::nullopt, false};
  // Named by its identifier alone: the program it runs now, else the one a launch would start.
  for (const NSRunningApplication& app : NSWorkspace::runningApplications())
    if (app.bundleIdentifier && sameApplication(*app.bundleIdentifier, bundle) && app.executableURL &&
        isProgramFile(*app.executableURL))
      return program(*app.executableURL);
  if (const auto file = launchedProgramPath({LaunchTarget::bundleIdentifier, bundle})) return program(*file);
  return {bundle, std::nullopt, false};
}

std::string itemRowText(const ItemApplication& application) {
  if (application.found) return application.name;
  const std::string name = application.name.empty() ? NSLocalizedString("UnnamedApplication") : application.name;
  return name + " " + NSLocalizedString("ApplicationNotFound");
}

}  // namespace tilvane
