#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "crashreporting/Kit/ZIZNetworkClient.h"
#include "crashreporting/Kit/ZIZNetworkOperation.h"

namespace crashreporting {

class ZIZDownloadAndSaveSettingsOperation;

class ZIZDownloadAndSaveSettingsOperationDelegate {
 public:
  virtual ~ZIZDownloadAndSaveSettingsOperationDelegate() = default;
  virtual void operationDidDownloadAndSaveSettingsWithError(ZIZDownloadAndSaveSettingsOperation& operation,
                                                            const std::optional<Error>& error) = 0;
};

/// Downloads the settings (one retry) and saves them as the settings file. The new file is written beside
/// the old one, in a side file of this download's own, and renamed over it: a failed download or save leaves the
/// previous settings as they were, and copies of the host that save at once never take each other's file.
class ZIZDownloadAndSaveSettingsOperation : public ZIZNetworkOperation {
 public:
  /// The advertising token is sent only where device identifiers may be collected.
  ZIZDownloadAndSaveSettingsOperation(std::string APIKey,
                                      std::weak_ptr<ZIZDownloadAndSaveSettingsOperationDelegate> delegate,
                                      std::string settingsURL, std::filesystem::path settingsDirectoryPath,
                                      std::filesystem::path settingsFilePath, std::string installIdentifier,
                                      const std::optional<std::string>& advertisingToken,
                                      std::weak_ptr<ZIZNetworkClient> networkClient);

  std::string className() const override { return "ZIZDownloadAndSaveSettingsOperation"; }
  /// The common request, method GET, and the settings request's own header fields.
  URLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const std::string& url) const override;
  void main() override;

  std::optional<Error> error() const;
  const std::string& settingsURL() const { return settingsURL_; }

 private:
  void downloadFinished(const std::optional<std::filesystem::path>& location, const std::optional<Error>& error);
  /// Puts the downloaded file in place; the error when it could not.
  std::optional<Error> saveDownloadedFile(const std::filesystem::path& location) const;
  void report(const std::optional<Error>& error);

  std::weak_ptr<ZIZDownloadAndSaveSettingsOperationDelegate> delegate_;
  const std::string settingsURL_;
  const std::filesystem::path settingsDirectoryPath_;
  const std::filesystem::path settingsFilePath_;
  const std::string installIdentifier_;
  std::optional<std::string> advertisingToken_;
  std::weak_ptr<ZIZNetworkClient> networkClient_;
  mutable std::mutex errorMutex_;
  std::optional<Error> error_;
};

}  // namespace crashreporting
