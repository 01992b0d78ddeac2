#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Kit/KitClass.h"
#include "crashreporting/Reports/VRDBetaController.h"
#include "crashreporting/Reports/VRDCrashReportingController.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDKitConstants.h"
#include "crashreporting/Reports/VuveradaradDelegate.h"

// The crash kit's single object and its public start: a host calls Vuveradarad::startWithAPIKey (or Zizozu::with
// with the kit), which starts crash reporting for this run and triages the reports of earlier runs. Towards the
// crash-reporting controller it answers from the kit framework's state and passes report decisions on to the
// application's delegate.

namespace crashreporting {

class Vuveradarad final : public KitObject,
                          public VRDCrashReportingControllerDelegate,
                          public VRDBetaControllerDelegate {
 public:
  static constexpr const char* kKitDisplayVersion = kVRDKitDisplayVersion;
  static constexpr const char* kKitBuildVersion = kVRDKitBuildVersion;
  static constexpr const char* kBundleIdentifier = kVRDKitBundleIdentifier;

  /// Made on first use, once per process (reset with the library's other single instances).
  static Vuveradarad& sharedInstance();
  /// The kit's class as the kit framework sees it; registered under "Vuveradarad".
  static const KitClass& classObject();
  const KitClass& kitClass() const override { return classObject(); }

  static Vuveradarad& startWithAPIKey(const std::string& key);
  /// Sets the delegate when one is given, sets the framework's API key and starts the framework with this kit.
  static Vuveradarad& startWithAPIKey(const std::string& key, std::shared_ptr<const VuveradaradDelegate> delegate);
  /// Deprecated: logged, and started at once (the delay is not used).
  static Vuveradarad& startWithAPIKey(const std::string& key, double afterDelay);
  static Vuveradarad& startWithAPIKey(const std::string& key, std::shared_ptr<const VuveradaradDelegate> delegate,
                                      double afterDelay);

  /// The kit start, once per process; later calls do nothing.
  void start();
  bool isVuveradaradStarted() const;
  void setDelegate(std::shared_ptr<const VuveradaradDelegate> delegate);
  std::shared_ptr<const VuveradaradDelegate> delegate() const;
  void setDebugMode(bool debugMode);
  bool debugMode() const;
  std::optional<std::string> APIKey();
  std::string installID();
  bool isFirstInstall();
  std::string version() const { return kKitDisplayVersion; }
  std::string bundleIdentifier() const { return kBundleIdentifier; }

  /// What the controller is made with (tests and hosts that need another upload client or timer). Takes
  /// effect at the start.
  void setControllerEnvironment(VRDCrashReportingEnvironment environment);
  /// The controller; null before the start.
  VRDCrashReportingController* crashReportingController();
  /// The beta checker; null where beta builds are not supported.
  std::shared_ptr<VRDBetaController> betaController() const;

  /// Logged on the main queue after the start.
  void warnDelegateAboutMethods();

  // VRDCrashReportingControllerDelegate
  bool shouldInstallCrashCallback() override;
  void detectedCrash() noexcept override;
  bool reportingControllerCanUseBackgroundSessions(VRDCrashReportingController& controller) override;
  bool reportingControllerMustInformDelegateOfReports(VRDCrashReportingController& controller) override;
  void reportingControllerDidDetectReportForLastExecution(VRDCrashReportingController& controller,
                                                          const VRDInternalReport& report,
                                                          SubmitHandler completionHandler) override;
  void reportingControllerInternalDidDetectReportForLastExecution(VRDCrashReportingController& controller,
                                                                  const VRDInternalReport& report) override;
  bool reportingControllerEnsureDeliveryOfUnixSignal(VRDCrashReportingController& controller,
                                                     std::int32_t signal) override;
  std::optional<std::string> APIKeyForCrashReportingController(VRDCrashReportingController&) override {
    return APIKey();
  }
  std::string installIDForCrashReportingController(VRDCrashReportingController&) override { return installID(); }
  bool isFirstInstallForCrashReportingController(VRDCrashReportingController&) override { return isFirstInstall(); }
  VRDSettings settingsForCrashReportingController(VRDCrashReportingController& controller) override;

  // VRDBetaControllerDelegate
  VRDSettings settingsForBetaController(VRDBetaController&) override;
  std::optional<std::string> APIKeyForBetaController(VRDBetaController&) override { return APIKey(); }

  Vuveradarad();
  ~Vuveradarad() override;

 private:
  void runStart();

  mutable std::mutex mutex_;
  std::once_flag started_;
  std::shared_ptr<const VuveradaradDelegate> delegate_;
  // Every delegate ever set stays alive, so the crash handler can read the current one without a lock.
  std::vector<std::shared_ptr<const VuveradaradDelegate>> delegates_;
  std::atomic<const VuveradaradDelegate*> crashDelegate_{nullptr};
  VRDCrashReportingEnvironment environment_;
  std::unique_ptr<VRDFileManager> fileManager_;
  std::unique_ptr<VRDCrashReportingController> crashReportingController_;
  std::shared_ptr<VRDBetaController> betaController_;
  std::atomic<bool> controllerCreated_{false};
};

}  // namespace crashreporting
