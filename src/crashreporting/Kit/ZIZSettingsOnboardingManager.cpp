#include "crashreporting/Kit/ZIZSettingsOnboardingManager.h"

#include <cstdlib>

#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/Kit/VRDUserDefaults.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/platform/Immortal.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/NotificationCenter.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/SystemLog.h"
#include "platform/base/XdgPaths.h"

namespace crashreporting {
namespace {

void debugLog(std::string_view line) {
  if (ZIZIsDebugEnabled()) SystemLog::write(line);
}

}  // namespace

ZIZSettingsOnboardingManager::ZIZSettingsOnboardingManager(
    std::optional<ZIZApplicationIdentiferModel> appIdentifierModel,
    std::shared_ptr<ZIZNetworkClient> networkClient)
    : appIdentifierModel_(std::move(appIdentifierModel)),
      networkClient_(networkClient ? std::move(networkClient)
                                   : ZIZNetworkClient::create(nullptr, ZIZPinnedCertificates())) {}

void ZIZSettingsOnboardingManager::beginSettingsAndOnboardingOperationsWithAPIKey(
    const std::string& apiKey, const std::map<std::string, std::string>& kitVersionsByKitBundleIdentifier) {
  {
    const std::lock_guard lock(mutex_);
    APIKey_ = apiKey;
    kitVersionsByKitBundleIdentifier_ = kitVersionsByKitBundleIdentifier;
  }
  beginSettingsDownload();
}

bool ZIZSettingsOnboardingManager::hasAttemptedAppConfigure() const {
  const std::lock_guard lock(mutex_);
  return hasAttemptedAppConfigure_;
}

ZIZSettings& ZIZSettingsOnboardingManager::settingsModel() {
  const std::lock_guard lock(mutex_);
  if (!settingsModel_) settingsModel_ = std::make_unique<ZIZSettings>(settingsPath());
  return *settingsModel_;
}

std::filesystem::path ZIZSettingsOnboardingManager::settingsDirectoryPath() {
  std::filesystem::path directory = tilvane::xdg::cacheHome();
  if (const auto identifier = VRDUserDefaults::getEscapedAppBundleIdentifier()) directory /= *identifier;
  return directory / kZIZDataFolderName / (std::string(ZIZFrameworkIdentifier) + ".data");
}

std::filesystem::path ZIZSettingsOnboardingManager::settingsPath() {
  return settingsDirectoryPath() / ZIZSettingsFileName;
}

std::optional<std::string> ZIZSettingsOnboardingManager::appIconHash() const {
  if (!appIdentifierModel_ || !appIdentifierModel_->icon()) return std::nullopt;
  return appIdentifierModel_->icon()->dataHash();
}

std::optional<std::string> ZIZSettingsOnboardingManager::advertisingToken() {
  return Shared<Zizozu>::exists() ? Zizozu::sharedSDK().advertisingToken() : std::nullopt;
}

std::string ZIZSettingsOnboardingManager::settingsURL() {
  const std::optional<std::string> instance =
      appIdentifierModel_ ? std::optional(appIdentifierModel_->instanceIdentifier()) : std::nullopt;
  return ZIZSettings::settingsURLForEndpoint(valueForConfigurationKey("SettingsEndpoint"), instance,
                                             appIconHash());
}

std::optional<Dictionary> ZIZSettingsOnboardingManager::configuration() {
  const auto bundle = MainBundle::get();
  const Value* value = bundle ? bundle->objectForInfoDictionaryKey("Vuveradarad") : nullptr;
  const auto* dictionary = value ? value->get<Dictionary>() : nullptr;
  return dictionary ? std::optional(*dictionary) : std::nullopt;
}

const Dictionary& ZIZSettingsOnboardingManager::defaultConfiguration() {
  static const Immortal<Dictionary> defaults([] {
    return Dictionary{{"SettingsEndpoint", Value("https://settings.zizozu.com")},
                      {"ConfigureEndpoint", Value("https://api.zizozu.com")}};
  });
  return defaults.get();
}

std::string ZIZSettingsOnboardingManager::valueForConfigurationKey(std::string_view key) {
  const std::string name(key);
  if (const char* environment = std::getenv(name.c_str()); environment && *environment) return environment;
  if (const auto config = configuration()) {
    const auto it = config->find(key);
    if (const auto* text = it == config->end() ? nullptr : it->second.get<std::string>()) return *text;
  }
  const auto it = defaultConfiguration().find(key);
  const auto* text = it == defaultConfiguration().end() ? nullptr : it->second.get<std::string>();
  return text ? *text : std::string();
}

void ZIZSettingsOnboardingManager::beginSettingsDownload() {
  std::string key;
  {
    const std::lock_guard lock(mutex_);
    key = APIKey_;
  }
  const std::string installID = appIdentifierModel_        ? appIdentifierModel_->installID()
                                : Shared<Zizozu>::exists() ? Zizozu::sharedSDK().installID()
                                                           : std::string();
  const auto operation = std::make_shared<ZIZDownloadAndSaveSettingsOperation>(
      key, weak_from_this(), settingsURL(), settingsDirectoryPath(), settingsPath(), installID, advertisingToken(),
      networkClient_);
  operation->start();
}

void ZIZSettingsOnboardingManager::beginOnboarding(bool create, const std::string& endpointString) {
  std::shared_ptr<ZIZOnboardingOperation> previous;
  std::shared_ptr<ZIZOnboardingOperation> operation;
  {
    const std::lock_guard lock(mutex_);
    previous = onboardingOperation_;
    operation = std::make_shared<ZIZOnboardingOperation>(weak_from_this(), create, APIKey_,
                                                         kitVersionsByKitBundleIdentifier_, appIdentifierModel_,
                                                         endpointString, networkClient_);
    onboardingOperation_ = operation;
  }
  if (previous) previous->cancel();
  operation->start();
}

void ZIZSettingsOnboardingManager::finishNetworkingSession() {
  if (networkClient_) networkClient_->invalidateAndCancel();
}

void ZIZSettingsOnboardingManager::postSettingsDownloadCompletedNotification() {
  debugLog("[Zizozu] Settings are available for consumption");
  NotificationCenter::defaultCenter().postNotificationName(ZIZSettingsAvailableNotification);
}

void ZIZSettingsOnboardingManager::operationDidDownloadAndSaveSettingsWithError(
    ZIZDownloadAndSaveSettingsOperation&, const std::optional<Error>& error) {
  if (error) {
    SystemLog::write("[Zizozu] failed to download settings " + error->description());
    finishNetworkingSession();
    return;
  }
  debugLog("[Zizozu] settings downloaded successfully");
  ZIZSettings& settings = settingsModel();
  settings.clearSettingsDictionary();
  bool alreadyAttempted = false;
  {
    const std::lock_guard lock(mutex_);
    alreadyAttempted = hasAttemptedAppConfigure_;
  }
  if (alreadyAttempted) {
    debugLog("[Zizozu] App already onboarded in this run of the app");
    postSettingsDownloadCompletedNotification();
    finishNetworkingSession();
    return;
  }
  if (settings.appNeedsOnboarding()) {
    debugLog("[Zizozu] Starting onboarding with app create");
    {
      const std::lock_guard lock(mutex_);
      hasAttemptedAppConfigure_ = true;
    }
    beginOnboarding(true, valueForConfigurationKey("ConfigureEndpoint"));
    return;
  }
  postSettingsDownloadCompletedNotification();
  if (settings.appUpdateRequired()) {
    debugLog("[Zizozu] Starting onboarding with app update");
    {
      const std::lock_guard lock(mutex_);
      hasAttemptedAppConfigure_ = true;
    }
    beginOnboarding(false, valueForConfigurationKey("ConfigureEndpoint"));
    return;
  }
  finishNetworkingSession();
}

void ZIZSettingsOnboardingManager::onboardingOperationDidCompleteAppCreationWithError(
    ZIZOnboardingOperation&, const std::optional<Error>& error) {
  if (error) {
    SystemLog::write("[Zizozu] unable to complete application configure: " + error->description());
    finishNetworkingSession();
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    onboardingOperation_.reset();
  }
  debugLog("[Zizozu] completed configure");
  beginSettingsDownload();
}

void ZIZSettingsOnboardingManager::onboardingOperationDidCompleteAppUpdateWithError(
    ZIZOnboardingOperation&, const std::optional<Error>& error) {
  finishNetworkingSession();
  if (error) {
    SystemLog::write("[Zizozu] unable to complete application update: " + error->description());
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    onboardingOperation_.reset();
  }
  debugLog("[Zizozu] completed application update");
}

}  // namespace crashreporting
