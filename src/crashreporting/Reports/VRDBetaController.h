#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "crashreporting/Kit/ZIZNetworkClient.h"
#include "crashreporting/Reports/VRDBetaUpdate.h"
#include "crashreporting/Reports/VRDSettings.h"
#include "crashreporting/platform/Certificate.h"
#include "crashreporting/platform/SerialQueue.h"

// The beta-build check: asks the beta service whether a newer test build exists and keeps the answer as the
// active update (nothing is shown). It needs the tester's beta token, which the kit's token source does not give
// on this platform: without one the checker never starts.

namespace crashreporting {

class VRDBetaController;

/// Implemented by the crash kit.
class VRDBetaControllerDelegate {
 public:
  virtual ~VRDBetaControllerDelegate() = default;
  virtual VRDSettings settingsForBetaController(VRDBetaController& controller) = 0;
  virtual std::optional<std::string> APIKeyForBetaController(VRDBetaController& controller) = 0;
};

class VRDBetaController : public std::enable_shared_from_this<VRDBetaController> {
 public:
  using TokenSource = std::function<std::optional<std::string>()>;
  using UpdateBlock = std::function<void(std::optional<VRDBetaUpdate> update, std::optional<Error> error)>;
  /// Runs a block on the main queue once a delay has passed (the suspension's timer).
  using Scheduler = std::function<void(std::chrono::nanoseconds delay, std::function<void()> block)>;

  /// The kit's beta-token source: none on this platform.
  static std::optional<std::string> defaultTokenSource() { return std::nullopt; }

  /// The delegate must outlive the controller. `tokenSource` is asked on first use and again while it gives
  /// none.
  static std::shared_ptr<VRDBetaController> create(VRDBetaControllerDelegate& delegate,
                                                   TokenSource tokenSource = defaultTokenSource);
  /// Stops observing notifications.
  ~VRDBetaController();
  VRDBetaController(const VRDBetaController&) = delete;
  VRDBetaController& operator=(const VRDBetaController&) = delete;

  /// Not an app extension, and installed as a build signed for distribution (installation source 3).
  static bool isBetaSupported();
  static const std::vector<Certificate>& pinnnedCertificates();

  /// Without a token: false. Otherwise checks whenever the settings have been downloaded; true.
  bool start();

  std::optional<std::string> betaToken();
  VRDSettings settings() { return delegate_.settingsForBetaController(*this); }
  double betaUpdateSuspendDurationSecs() { return settings().betaSuspendDuration(); }
  std::string betaEndpoint() { return settings().betaEndpoint(); }
  static std::optional<std::string> appBundleIdentifier();
  static std::optional<std::string> appBuildVersion();
  static std::optional<std::string> appDisplayVersion();
  static std::optional<std::string> appInstanceIdentifier();
  static int appInstallationSource();
  std::optional<std::string> APIKey() { return delegate_.APIKeyForBetaController(*this); }
  /// <beta endpoint>/spi/v2/platforms/mac/apps/<id>/beta_update_check?build_version=…&display_version=…&
  /// instance=…&source=…; none when not a URL.
  std::optional<std::string> betaUpdateURL();

  void checkForUpdate();
  /// On the beta queue: loads an update unless checks are off or suspended, or a request is under way.
  void maybeGetUpdate(UpdateBlock completion);
  void loadUpdateWithCompletionBlock(UpdateBlock completion);
  void handledCompletedBetaRequestWithData(const std::optional<Data>& data, const std::optional<Error>& error,
                                           UpdateBlock completion);
  static std::optional<VRDBetaUpdate> updateWithData(const Data& data, std::optional<Error>& error);
  /// On the main queue: no checks for the suspension duration.
  void temporarilySuspendChecks();
  void allowChecks();
  bool shouldGetUpdates();
  void didGetUpdate(const std::optional<VRDBetaUpdate>& update);
  /// Keeps the update as the active one; shows nothing.
  void showBetaAlertForUpdate(const VRDBetaUpdate& update);

  void zizozuSettingsDownloaded();
  void applicationWillEnterForeground();

  std::optional<VRDBetaUpdate> activeUpdate() const;
  bool checksSuspended() const { return checksSuspended_; }
  bool retrying() const { return retrying_; }
  const std::shared_ptr<ZIZNetworkClient>& networkClient() const { return networkClient_; }
  /// Where the suspension's timer waits (a delayed dispatch onto the main queue by default; tests).
  void setScheduler(Scheduler scheduler);

 private:
  VRDBetaController(VRDBetaControllerDelegate& delegate, TokenSource tokenSource);

  VRDBetaControllerDelegate& delegate_;
  const TokenSource tokenSource_;
  SerialQueue queue_;
  std::shared_ptr<ZIZNetworkClient> networkClient_;
  std::atomic<bool> checksSuspended_ = false;
  std::atomic<bool> retrying_ = false;  // a request is under way (or one failed: then for good)
  std::optional<std::uint64_t> observer_;

  mutable std::mutex mutex_;  // guards what follows
  std::optional<std::string> betaToken_;
  std::optional<VRDBetaUpdate> activeUpdate_;
  Scheduler scheduler_;
  /// Counts suspensions: a timer whose suspension was lifted early lifts nothing later.
  std::uint64_t suspension_ = 0;
};

}  // namespace crashreporting
