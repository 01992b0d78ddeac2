#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Capture/VRDException.h"
#include "crashreporting/Capture/VRDHandler.h"
#include "crashreporting/Reports/VRDCrashReportingControllerDelegate.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDNetworkClient.h"
#include "crashreporting/Reports/VRDReportsController.h"
#include "crashreporting/Reports/VRDSendPrompt.h"
#include "crashreporting/Reports/VRDSettings.h"
#include "crashreporting/platform/OperationQueue.h"

// The crash-reporting life cycle of one process: start-up checks, this run's report folder and the launch marker,
// the crash capture's start-up record, the triage of earlier runs' reports (the delegate, the send prompt,
// urgent processing), resuming reports left in processing and prepared, and retrying failed uploads.
//
// Threads: start-up runs on the caller's thread (urgent reports are processed and uploaded there before it
// returns); removals, delegate answers, prompt results, resumption and retries run on the work queue, one at a
// time; the prompt, the 2-second checks and the marker removal run on the library's main queue.

namespace crashreporting {

/// Runs a block once a delay has passed (on another thread).
using VRDScheduler = std::function<void(std::chrono::nanoseconds delay, std::function<void()> block)>;

/// The internal keys of the timing values and the application's activity.
inline constexpr const char* VRDInternalKeyKitStartTime = "com.zizozu.kit.start_time";
inline constexpr const char* VRDInternalKeyFirstRunLoopTime = "com.zizozu.kit.first_run_loop_time";
inline constexpr const char* VRDInternalKeyInBackground = "com.zizozu.app.in_background";

/// The notifications a host posts (NotificationCenter::defaultCenter) when its application becomes active and
/// stops being active.
inline constexpr const char* VRDApplicationWillBecomeActiveNotification = "NSApplicationWillBecomeActiveNotification";
inline constexpr const char* VRDApplicationDidResignActiveNotification = "NSApplicationDidResignActiveNotification";

/// What the controller works with besides the store and its delegate.
struct VRDCrashReportingEnvironment {
  /// The timer of the 2-second checks, the upload retries and the upload client's restarts (DelayedDispatch by
  /// default).
  VRDScheduler scheduler;
  /// Takes the packages instead of the upload client (tests); must outlive the controller.
  VRDPackageUploader* uploader = nullptr;
};

class VRDCrashReportingController final : public VRDReportsControllerDelegate,
                                          public VRDNetworkClientDelegate,
                                          public VRDCrashCallbackTarget,
                                          public VRDSubmittableCrashDelegate {
 public:
  /// The send prompt's answer in this process.
  enum PromptChoice : std::int64_t { notAsked = 0, dontSend = 1, send = 2, alwaysSend = 3 };

  static constexpr std::chrono::seconds kPostStartCheckDelay{2};
  static constexpr std::chrono::seconds kUploadRetryDelay{600};

  /// The store and the delegate must outlive the controller.
  VRDCrashReportingController(VRDFileManager& fileManager, VRDCrashReportingControllerDelegate& delegate,
                              VRDCrashReportingEnvironment environment = {});
  /// Waits for the work queue; what is scheduled later does nothing.
  ~VRDCrashReportingController() override;
  VRDCrashReportingController(const VRDCrashReportingController&) = delete;
  VRDCrashReportingController& operator=(const VRDCrashReportingController&) = delete;

  /// The whole start-up; true only when this run's report folder exists and the crash capture started.
  bool startWithProfilingMark(std::uint64_t profilingMark, const std::optional<std::string>& betaToken);
  bool startCrashReporter(const std::optional<std::string>& APIKey, const std::optional<std::string>& betaToken,
                          std::uint64_t profilingMark, const std::optional<VRDInternalReport>& report);

  VRDSettings settings();
  std::optional<std::string> APIKey() { return delegate_.APIKeyForCrashReportingController(*this); }
  std::string installIdentifier() { return delegate_.installIDForCrashReportingController(*this); }
  bool firstInstall() { return delegate_.isFirstInstallForCrashReportingController(*this); }
  std::optional<std::string> bundleIdentifier();
  /// Made on first use; let go of once all submissions have completed. Callers hold the reference they get
  /// while they use it.
  std::shared_ptr<VRDReportsController> reportsController();
  std::uint32_t machExceptionMask();

  bool needsToPrompt();
  bool delegateNeedsToBeInformedOfReports();
  bool canProcessUrgentReports();
  bool packagingEnabled() { return settings().shouldPackageReports(); }
  bool checkPreconditions();
  PromptChoice promptChoice() const { return promptChoice_.load(); }

  std::string launchFailureMarkerPath() const;
  /// A folder, FIFO or link where the launch marker belongs is set aside with a line.
  void setAsideLaunchMarkerThatIsNoFile() const;
  bool createLaunchFailureMarker() const;
  bool launchFailureMarkerPresent() const;
  bool removeLaunchFailureMarker() const;
  /// Whether the marker was there; creates it when it was not.
  bool checkForAndCreateLaunchMarker();

  /// Crash time: the delegate's synchronous crash callback.
  void deliverCrashDelegateCallback() noexcept override;
  /// Last chance, from the exception capture: submits this run's report at once where urgent processing is
  /// allowed. The start-up record does not arm it.
  void potentiallySubmittableCrashOccurred() noexcept override;
  /// Copies the one folder in active to "<folder>-submit" and processes and uploads the copy synchronously.
  bool attemptCurrentReportSubmission();

  // VRDNetworkClientDelegate
  bool networkClientCanUseBackgroundSessions(VRDNetworkClient&) override {
    return delegate_.reportingControllerCanUseBackgroundSessions(*this);
  }
  void networkClientDidFinishUploadWithPath(VRDNetworkClient& client, const std::string& path,
                                            const std::optional<Error>& error) override;

  // VRDReportsControllerDelegate
  VRDSettings settingsForReportsController(VRDReportsController&) override { return settings(); }
  std::optional<std::string> bundleIdentifierForReportsController(VRDReportsController&) override {
    return bundleIdentifier();
  }
  std::optional<std::string> APIKeyForReportsController(VRDReportsController&) override { return APIKey(); }
  void reportsControllerDidCompletePackageSubmission(VRDReportsController& controller, const std::string& path,
                                                     const std::optional<Error>& error) override;
  /// On the work queue: lets go of the reports controller and logs (debug only) that submission is complete.
  void reportsControllerDidCompleteAllSubmissions(VRDReportsController& controller) override;

  /// The work queue (tests wait on it).
  OperationQueue& operationQueue() { return *operationQueue_; }
  VRDNetworkClient& networkClient() { return *networkClient_; }

 private:
  struct Life;

  std::optional<VRDInternalReport> setupCurrentReport();
  bool installCrashReportingHandlers(const VRDContextInitData& data);
  void crashReportingSetupCompleted(std::uint64_t profilingMark);
  void checkForUserPromptSetting();
  void setupStateNotifications();
  void writeElapsedTime(const char* key, std::uint64_t profilingMark);

  void processExistingReportPaths(const std::vector<std::string>& paths, bool urgent);
  void processExistingActiveReportPath(const std::string& path, bool urgent);
  void handleDelegateCompletionForReport(const VRDInternalReport& report, bool submit);
  void displayPermissionAlertForReport(const VRDInternalReport& report);
  void setupAndDisplayAlert(const VRDSendPromptAlert& alert, const VRDInternalReport& report);
  void handlePromptCompleteForReport(const VRDInternalReport& report, bool submit, bool markAlwaysSubmit);
  void prepareAndSubmitReport(const VRDInternalReport& report, bool urgent, bool processing);
  void removeReport(const VRDInternalReport& report);
  /// The report of an earlier run's folder, claimed for this process; none when another process holds it or it
  /// is gone.
  std::optional<VRDInternalReport> claimEarlierReport(const std::string& path);
  /// Removes an earlier run's item and, once it is gone, gives up its claim.
  void removeItemAndClaim(const std::string& path);
  void handleExistingFilesInProcessing(const std::vector<std::string>& entries);
  void handleExistingFilesInPrepared(const std::vector<std::string>& entries);
  void uploadPreexistingFiles(const std::vector<std::string>& paths);
  void retryUploadForReportAtPath(const std::string& path);

  /// Runs `block` unless the controller has gone, which it cannot while `block` runs.
  static void ifAlive(const std::shared_ptr<Life>& life, const std::function<void()>& block);
  /// Queues `block` on the work queue unless the controller is going.
  void addOperation(std::function<void()> block);
  /// Runs `block` on the main queue, or after `delay` on it, unless the controller has gone by then.
  void onMainQueue(std::function<void()> block);
  void onMainQueueAfter(std::chrono::nanoseconds delay, std::function<void()> block);

  VRDFileManager& fileManager_;
  VRDCrashReportingControllerDelegate& delegate_;
  VRDScheduler scheduler_;
  std::shared_ptr<OperationQueue> operationQueue_;
  std::shared_ptr<Life> life_;
  VRDPackageUploader* uploader_;
  std::shared_ptr<VRDNetworkClient> networkClient_;
  std::mutex mutex_;  // the lazy members below
  std::optional<VRDSettings> settings_;
  std::shared_ptr<VRDReportsController> reportsController_;
  // Read by the prompt on the main queue, written by its completion on the work queue.
  std::atomic<PromptChoice> promptChoice_{notAsked};
  std::atomic<bool> promptMissingLogged_{false};
  std::vector<std::uint64_t> observers_;
};

}  // namespace crashreporting
