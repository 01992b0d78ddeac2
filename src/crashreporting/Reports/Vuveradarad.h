#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Capture/VRDStackFrame.h"
#include "crashreporting/Kit/KitClass.h"
#include "crashreporting/Reports/VRDBetaController.h"
#include "crashreporting/Reports/VRDCrashReportingController.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDKitConstants.h"
#include "crashreporting/Reports/VuveradaradDelegate.h"
#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/ScriptMessage.h"
#include "crashreporting/platform/Value.h"

// The crash kit's single object and its public start: a host calls Vuveradarad::startWithAPIKey (or Zizozu::with
// with the kit), which starts crash reporting for this run and triages the reports of earlier runs. Towards the
// crash-reporting controller it answers from the kit framework's state and passes report decisions on to the
// application's delegate.
//
// What linking and starting the library does to the host:
// - The library defines pthread_create (weakly), so every thread it starts gets an alternate signal stack and its
//   stack overflow is recorded; a statically linked host gets it too. A host that defines pthread_create itself
//   keeps its own: its threads then go without such stacks, and the start logs so in sdk.log.
// - At the start every running thread without such a stack is sent a real-time signal (the highest one no one
//   handles): a nanosleep, poll, epoll_wait or other blocking call in progress may return early with EINTR.
// - Threads the library cannot reach have no alternate stack: those libc starts itself (timers, asynchronous
//   I/O, name lookups) and those made by raw clone. A thread that blocks the signal is named in the log.
// - A crash records at most 512 threads (VRDProcessMaximumThreads).
// The start logs these limits once, in sdk.log.
//
// A child the host forks without exec records nothing: its events, custom keys, logs, errors and crashes are not
// kept, said once in the child ("[Zizozu] Process <pid> was forked without exec: …"). It ends at exit() or a
// return from main as it would without the library: nothing run then waits for the parent's threads.

namespace crashreporting {

/// The internal keys of the development platform's name and version.
inline constexpr const char* VRDInternalKeyDevelopmentPlatformName = "com.zizozu.development_platform.name";
inline constexpr const char* VRDInternalKeyDevelopmentPlatformVersion = "com.zizozu.development_platform.version";

class Vuveradarad final : public KitObject,
                          public VRDCrashReportingControllerDelegate,
                          public VRDBetaControllerDelegate,
                          public WKScriptMessageHandler {
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
  /// Switches the framework's debug output (which also turns certificate pinning off) on or off.
  void setDebugMode(bool debugMode);
  bool debugMode() const;
  std::optional<std::string> APIKey();
  /// The installation identifier a historic defaults file holds, else the framework's.
  std::string installID();
  bool isFirstInstall();
  /// The kit keeps no kit information or settings of its own.
  std::optional<Dictionary> kitInfo() const { return std::nullopt; }
  void setKitInfo(const std::optional<Dictionary>&) {}
  std::optional<Dictionary> settingsDictionary() const { return std::nullopt; }

  /// $XDG_DATA_HOME/com.zizozu.vuveradarad/VRDUserDefaults.plist: where earlier versions kept their defaults.
  static std::filesystem::path historicDefaultsPath();
  /// The historic defaults file's dictionary; none when it is missing, a folder or unreadable.
  static std::optional<Dictionary> attemptToLoadMacHistoricDefaults();
  /// The installation identifier the historic defaults hold; none when they hold none.
  static std::optional<std::string> getHistoricInstallID();

  // User information and custom keys, recorded into the current report. Class functions: the kit has one
  // instance, so `Vuveradarad::sharedInstance().setUserName(…)` and `Vuveradarad::setUserName(…)` are the same
  // call. A value of none removes the key.
  static void setUserIdentifier(const std::optional<std::string>& identifier);
  static void setUserName(const std::optional<std::string>& name);
  static void setUserEmail(const std::optional<std::string>& email);
  static void setObjectValue(const std::optional<Value>& value, const std::string& key);
  static void setIntValue(std::int32_t value, const std::string& key);
  static void setBoolValue(bool value, const std::string& key);
  /// Kept as the number the float shows as (0.1f as 0.1), not as its widened double.
  static void setFloatValue(float value, const std::string& key);
  static void setDevelopmentPlatformName(const std::optional<std::string>& name);
  static void setDevelopmentPlatformVersion(const std::optional<std::string>& version);
  /// Write-only: each logs so and answers none.
  static std::optional<std::string> developmentPlatformName();
  static std::optional<std::string> developmentPlatformVersion();

  // Errors, custom exceptions and analytics events.
  void recordError(const Error& error);
  void recordError(const Error& error, const std::optional<Dictionary>& additionalUserInfo);
  /// A non-fatal exception with its frames into the custom-exception files (type "custom").
  void recordCustomExceptionName(const std::string& name, const std::string& reason,
                                 const std::vector<VRDStackFrame>& frameArray);
  /// A custom analytics event (class functions, as the setters).
  static void logEvent(const std::string& name);
  static void logEvent(const std::string& name, const std::optional<Dictionary>& attributes);

  /// Test entries: an invalid-instruction trap, recorded as a SIGILL crash; and the library's test exception
  /// (VuveradaradTestException), uncaught.
  [[noreturn]] void crash();
  [[noreturn]] void throwException();

  /// A script message of a web page: a dictionary body's "msg" is recorded as a "javascript" exception;
  /// anything else is logged and dropped. (There are no web views here; a host with a page engine of its own
  /// feeds the page's error messages in.)
  void userContentController(WKUserContentController& userContentController,
                             const WKScriptMessage& message) override;

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
