#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "crashreporting/Kit/ZIZApplicationIdentiferModel.h"
#include "crashreporting/Kit/ZIZNetworkClient.h"
#include "crashreporting/Kit/ZIZNetworkOperation.h"

namespace crashreporting {

/// The error domain of onboarding failures that are not the network's.
inline constexpr const char* kZIZSDKOnboardingErrorDomain = "ZIZSDKOnboardingErrorDomain";

class ZIZOnboardingOperation;

class ZIZOnboardingOperationDelegate {
 public:
  virtual ~ZIZOnboardingOperationDelegate() = default;
  virtual void onboardingOperationDidCompleteAppCreationWithError(ZIZOnboardingOperation& operation,
                                                                  const std::optional<Error>& error) = 0;
  virtual void onboardingOperationDidCompleteAppUpdateWithError(ZIZOnboardingOperation& operation,
                                                                const std::optional<Error>& error) = 0;
};

/// Registers the application with the vendor's service: a multipart POST that creates it (ten retries), or a
/// PUT that updates it (one retry).
class ZIZOnboardingOperation : public ZIZNetworkOperation {
 public:
  ZIZOnboardingOperation(std::weak_ptr<ZIZOnboardingOperationDelegate> delegate, bool shouldCreate, std::string APIKey,
                         std::map<std::string, std::string> kitVersionsByKitBundleIdentifier,
                         std::optional<ZIZApplicationIdentiferModel> appIdentifierModel, std::string endpointString,
                         std::weak_ptr<ZIZNetworkClient> networkClient);

  std::string className() const override { return "ZIZOnboardingOperation"; }
  void main() override;

  bool shouldCreate() const { return shouldCreate_; }
  /// <endpoint>/spi/v1/platforms/<platform>/apps
  std::string appCreateURL() const;
  /// <endpoint>/spi/v1/platforms/<platform>/apps/<bundle identifier>
  std::string appUpdateURL() const;
  /// The request with its multipart body; none when the body could not be written whole.
  std::optional<URLRequest> onboardingRequestForAppCreate(bool create) const;
  std::optional<Error> error() const;

 private:
  void beginAppConfigure();
  void report(const std::optional<Error>& error);

  std::weak_ptr<ZIZOnboardingOperationDelegate> delegate_;
  const bool shouldCreate_;
  const std::map<std::string, std::string> kitVersionsByKitBundleIdentifier_;
  const std::optional<ZIZApplicationIdentiferModel> appIdentifierModel_;
  const std::string appEndpoint_;
  std::weak_ptr<ZIZNetworkClient> networkClient_;
  mutable std::mutex errorMutex_;
  std::optional<Error> error_;
};

}  // namespace crashreporting
