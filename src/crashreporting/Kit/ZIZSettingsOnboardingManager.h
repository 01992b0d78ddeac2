#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/Kit/ZIZApplicationIdentiferModel.h"
#include "crashreporting/Kit/ZIZDownloadAndSaveSettingsOperation.h"
#include "crashreporting/Kit/ZIZNetworkClient.h"
#include "crashreporting/Kit/ZIZOnboardingOperation.h"
#include "crashreporting/Kit/ZIZSettings.h"

namespace crashreporting {

/// Posted (no object, no user information) once fresh settings are saved and no creation is pending.
inline constexpr const char* ZIZSettingsAvailableNotification = "ZIZSettingsAvailableNotification";

/// Drives the start-up sequence with the vendor's services: download the settings; when they say the
/// application is new, create it and download again; when they say it must be updated, update it after the
/// notification. Every end invalidates the network session. Callbacks come on the session's delegate queue,
/// one at a time.
///
/// Endpoints: the environment variable named by the key, else the key in the information dictionary's
/// "Vuveradarad" dictionary, else the deployment default ("SettingsEndpoint", "ConfigureEndpoint").
class ZIZSettingsOnboardingManager : public ZIZDownloadAndSaveSettingsOperationDelegate,
                                     public ZIZOnboardingOperationDelegate,
                                     public std::enable_shared_from_this<ZIZSettingsOnboardingManager> {
 public:
  /// With the network client given, else one of the default configuration that pins ZIZPinnedCertificates().
  explicit ZIZSettingsOnboardingManager(std::optional<ZIZApplicationIdentiferModel> appIdentifierModel,
                                        std::shared_ptr<ZIZNetworkClient> networkClient = nullptr);

  /// Keeps the key and the kit versions, then begins the settings download.
  virtual void beginSettingsAndOnboardingOperationsWithAPIKey(
      const std::string& apiKey, const std::map<std::string, std::string>& kitVersionsByKitBundleIdentifier);
  void beginSettingsDownload();
  void beginOnboarding(bool create, const std::string& endpointString);
  void finishNetworkingSession();
  void postSettingsDownloadCompletedNotification();

  ZIZSettings& settingsModel();
  std::string settingsURL();
  /// <cache home>/<bundle identifier, "/" as "_">/com.zizozu/<framework identifier>.data
  static std::filesystem::path settingsDirectoryPath();
  static std::filesystem::path settingsPath();
  std::optional<std::string> appIconHash() const;
  static std::optional<std::string> advertisingToken();
  static std::optional<Dictionary> configuration();
  static const Dictionary& defaultConfiguration();
  static std::string valueForConfigurationKey(std::string_view key);

  const std::optional<ZIZApplicationIdentiferModel>& appIdentifierModel() const { return appIdentifierModel_; }
  const std::shared_ptr<ZIZNetworkClient>& networkClient() const { return networkClient_; }
  bool hasAttemptedAppConfigure() const;

  void operationDidDownloadAndSaveSettingsWithError(ZIZDownloadAndSaveSettingsOperation& operation,
                                                    const std::optional<Error>& error) override;
  void onboardingOperationDidCompleteAppCreationWithError(ZIZOnboardingOperation& operation,
                                                          const std::optional<Error>& error) override;
  void onboardingOperationDidCompleteAppUpdateWithError(ZIZOnboardingOperation& operation,
                                                        const std::optional<Error>& error) override;

 private:
  const std::optional<ZIZApplicationIdentiferModel> appIdentifierModel_;
  const std::shared_ptr<ZIZNetworkClient> networkClient_;
  mutable std::mutex mutex_;  // guards what follows
  bool hasAttemptedAppConfigure_ = false;
  std::unique_ptr<ZIZSettings> settingsModel_;
  std::shared_ptr<ZIZOnboardingOperation> onboardingOperation_;
  std::string APIKey_;
  std::map<std::string, std::string> kitVersionsByKitBundleIdentifier_;
};

}  // namespace crashreporting
