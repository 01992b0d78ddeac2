#include "AppManager/Catalogue/AppManager.h"

#include <algorithm>

#include "AppManager/Store/StoreService.h"
#include "Models/ExtensionAppModel.h"
#include "platform/apps/XdgApplicationSource.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/Launcher.h"
#include "platform/desktop/NSRunningApplication.h"

namespace tilvane {
namespace {

AppDescriptor descriptorOf(const apps::InstalledApplication& app) {
  return AppDescriptor{app.name, app.bundleIdentifier, app.icon};
}

std::string withoutFileScheme(std::string text) {
  constexpr std::string_view kScheme = "file://";
  for (auto at = text.find(kScheme); at != std::string::npos; at = text.find(kScheme, at))
    text.erase(at, kScheme.size());
  return text;
}

}  // namespace

AppManager& AppManager::shared() { return SharedInstance<AppManager>::get(); }

AppManager::AppManager() : AppManager(std::make_unique<apps::XdgApplicationSource>()) {}

AppManager::AppManager(std::unique_ptr<apps::ApplicationSource> source) : source_(std::move(source)) {}

AppManager::~AppManager() = default;

void AppManager::loadApps() {
  std::vector<AppDescriptor> found;
  // The file manager is there once, whether or not the source lists it among the others.
  const auto fileManager = source_->fileManager();
  if (fileManager) found.push_back(descriptorOf(*fileManager));
  for (const std::string& path : source_->applicationPaths()) {
    const auto app = appInfo(path);
    if (app && !app->bundleID.empty() && (!fileManager || app->bundleID != fileManager->bundleIdentifier))
      found.push_back(*app);
  }
  // Byte order of the UTF-8 names: code-point order, the same on every machine.
  std::stable_sort(found.begin(), found.end(),
                   [](const AppDescriptor& a, const AppDescriptor& b) { return a.name < b.name; });
  apps_ = std::move(found);
  guessed_.clear();

  StoreService& store = StoreService::shared();
  for (const ExtensionAppModelPtr& extension : store.extensionApps()) {
    if (auto app = appInfo(extension->path()))
      addApplication(extension->path(), std::move(*app));
    else
      store.deleteExtensionApp(*extension);
  }
}

void AppManager::addApplication(const std::string& path, AppDescriptor app) {
  if (const auto read = source_->applicationInfo(path); read && read->identifierGuessed)
    guessed_.add(app.bundleID);
  apps_.push_back(std::move(app));
  LSRegisterURL(path);
}

std::optional<AppDescriptor> AppManager::appInfo(const std::string& path) const {
  if (path.empty()) return std::nullopt;
  const auto app = source_->applicationInfo(path);
  if (!app) return std::nullopt;
  AppDescriptor descriptor = descriptorOf(*app);
  if (app->identifierGuessed)
    if (auto running = runningIdentifier(path)) descriptor.bundleID = std::move(*running);
  return descriptor;
}

std::optional<std::string> AppManager::runningIdentifier(const std::string& path) {
  const auto program = launchedProgramPath(LaunchRequest{.target = LaunchTarget::path, .application = path});
  if (!program) return std::nullopt;
  std::optional<std::string> found;
  for (const NSRunningApplication& running : NSWorkspace::runningApplications()) {
    if (running.executableURL != program || !running.bundleIdentifier || running.bundleIdentifier->empty()) continue;
    // Processes of one program under several names (an interpreter's scripts) tell nothing.
    if (found && *found != *running.bundleIdentifier) return std::nullopt;
    found = running.bundleIdentifier;
  }
  return found;
}

std::optional<std::string> AppManager::icon(const std::string& fileOrURL, const std::string& bundleIdentifier) const {
  if (!fileOrURL.empty()) return iconForFileURL(fileOrURL);
  if (!bundleIdentifier.empty()) return iconForBundleID(bundleIdentifier);
  return std::nullopt;
}

std::optional<std::string> AppManager::iconForFileURL(const std::string& fileOrURL) const {
  const std::string path = withoutFileScheme(fileOrURL);
  if (path.empty()) return std::nullopt;
  return source_->iconForPath(path);
}

std::optional<std::string> AppManager::iconForBundleID(const std::string& bundleIdentifier) const {
  if (bundleIdentifier == finderApp().bundleID) return std::string("Finder");
  const AppDescriptor* app = appWithIdentifier(bundleIdentifier);
  if (!app) return std::nullopt;
  return app->icon;
}

const AppDescriptor* AppManager::appWithIdentifier(const std::string& bundleIdentifier) const {
  const AppDescriptor* guessed = nullptr;
  for (const AppDescriptor& app : apps_) {
    if (app.bundleID == bundleIdentifier) return &app;
    if (!guessed && guessed_.sameApplication(app.bundleID, bundleIdentifier)) guessed = &app;
  }
  return guessed;
}

bool sameApplication(std::string_view a, std::string_view b) {
  return AppManager::shared().guessedClasses().sameApplication(a, b);
}

}  // namespace tilvane
