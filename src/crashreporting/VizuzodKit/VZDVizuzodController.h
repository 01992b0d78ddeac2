#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "crashreporting/VizuzodKit/VZDEvent.h"
#include "crashreporting/VizuzodKit/VZDEventFilter.h"
#include "crashreporting/VizuzodKit/VZDLogOperations.h"
#include "crashreporting/VizuzodKit/VZDLogPipeline.h"
#include "crashreporting/VizuzodKit/VZDMetadata.h"
#include "crashreporting/VizuzodKit/VZDNetworkRetryHandler.h"
#include "crashreporting/VizuzodKit/VZDRavumaAnalyticsBridge.h"
#include "crashreporting/VizuzodKit/VZDScheduler.h"
#include "crashreporting/VizuzodKit/VZDSettings.h"
#include "crashreporting/VizuzodKit/VZDTimer.h"
#include "crashreporting/VizuzodKit/VZDUploader.h"
#include "crashreporting/VizuzodKit/VZDUploaderDelegate.h"
#include "crashreporting/platform/FileClaims.h"
#include "crashreporting/platform/OperationQueue.h"

namespace crashreporting {

/// Where a controller keeps its files and what it waits and uploads with. The defaults are the library's.
struct VZDVizuzodControllerOptions {
  /// Empty: VZDEventPaths::rootDirectory().
  std::filesystem::path rootDirectory;
  /// Decides retries and judges the server; none: one that pins the library's anchors.
  std::shared_ptr<VZDNetworkRetryHandler> retryHandler;
  /// Where the periodic flush waits; none: real time.
  VZDScheduler timerScheduler;
};

/// The engine of the analytics kit. Every step runs on one serial operation queue, the event queue: each
/// accepted event becomes one line of the current events log; a log is rotated once it has grown past the
/// settings' payload size or when an event asks for a flush, and is then compressed, packaged and handed to
/// the uploader. Until settings arrive events are recorded but nothing is sent, and the packaged files are not
/// held, so another copy of the host that has settings sends them; settings that switch analytics off empty the
/// events folder and stop recording. The host posts its activity changes as the
/// lifecycle notifications ("NSApplicationDidBecomeActiveNotification", …) on NotificationCenter.
///
/// Hold it in a std::shared_ptr (initWithBetaToken): the queued steps hold it weakly, so a controller that
/// goes lets its queued steps pass as no-ops.
class VZDVizuzodController final : public VZDUploaderDelegate,
                                   public std::enable_shared_from_this<VZDVizuzodController> {
 public:
  /// Starts a controller: queues the start-up (files, metadata, uploader, clean-up of an earlier run),
  /// observes the lifecycle and settings notifications, records the install and launch events and takes the
  /// settings Zizozu already holds.
  static std::shared_ptr<VZDVizuzodController> initWithBetaToken(std::optional<std::string> betaToken,
                                                                 VZDVizuzodControllerOptions options = {});
  ~VZDVizuzodController() override;
  VZDVizuzodController(const VZDVizuzodController&) = delete;
  VZDVizuzodController& operator=(const VZDVizuzodController&) = delete;

  static std::filesystem::path rootDirectory() { return VZDEventPaths::rootDirectory(); }

  // From any thread: these only queue work.
  void logEvent(std::shared_ptr<const VZDEvent> event);
  void logCrashEvent(std::shared_ptr<const VZDCrashEvent> event);
  void enqueueEvent(std::shared_ptr<const VZDEvent> event);
  void applicationLifecycleEvent(std::string_view notificationName);
  void zizozuSettingsDidBecomeAvailable();
  void initializeSettingsIfNeededWithZizozuSettings(std::optional<Dictionary> settings);

  // On the event queue.
  void rotateAndSubmitCurrentLog();
  void removeAllLogs();
  void cleanupAndProcessExistingFiles();
  void uploadAllMultipartFiles();
  void uploadMultipartFiles(const std::set<std::filesystem::path>& files);
  bool shouldLogEvent() const;
  bool shouldSubmitLogAtURL(const std::filesystem::path& log) const;
  void setupFlushTimer();
  void flushTimerFired();

  /// From any thread but the event queue's: waits until the queue has run everything queued before the call
  /// and all that work queued in turn, at most `bound`; whether it did.
  bool waitForQueuedWork(std::chrono::steady_clock::duration bound);
  /// At the process's exit, from any thread but the event queue's; returns at once: from now on no log is rotated
  /// and nothing is packaged or sent (what waits goes at the next start, once). Queued ahead of the events
  /// waiting.
  void stopForExit();
  /// At the process's exit, from any thread but the event queue's, at most until `deadline`: stops (as above),
  /// then waits for the events queued before the call to be written and for the uploads on their way to be
  /// answered, so that a package the server took is gone before the process ends. Events that come later are
  /// still written while the process lives. Whether everything was done in time: an upload not answered by then
  /// is cut by the exit and its package is sent again, whole, at the next start (said).
  bool finishAtExit(std::chrono::steady_clock::time_point deadline);
  bool finishAtExit(std::chrono::steady_clock::duration bound) {
    return finishAtExit(std::chrono::steady_clock::now() + bound);
  }
  /// Events kept in memory at most while the events log cannot be opened.
  static constexpr std::size_t kMaxUnwrittenEvents = 1000;

  const std::shared_ptr<OperationQueue>& eventQueue() const { return eventQueue_; }
  const std::filesystem::path& rootEventDirectory() const { return rootEventDirectory_; }
  /// Read these on the event queue (or once it is idle).
  const std::filesystem::path& currentLogURL() const { return currentLogURL_; }
  const std::optional<VZDSettings>& settings() const { return settings_; }
  const std::shared_ptr<VZDUploader>& uploader() const { return uploader_; }
  const std::shared_ptr<VZDCrashMetadata>& previousExecutionMetadata() const { return previousExecutionMetadata_; }
  bool hasFlushTimer() const { return flushTimer_ != nullptr; }

  // VZDUploaderDelegate, on the event queue.
  std::filesystem::path uploaderFilePathForUniqueName(VZDUploader& uploader, const std::string& uniqueName) override;
  void uploaderCompletedRequest(VZDUploader& uploader, const URLRequest& request,
                                const std::optional<URLResponse>& response, const std::string& uniqueName,
                                const std::optional<Error>& error, CompletionHandler completionHandler) override;
  void uploaderDidFinishUploadWithUniqueName(VZDUploader& uploader, const std::string& uniqueName,
                                             const std::optional<Error>& error) override;
  void uploaderSessionDidReceiveChallenge(VZDUploader& uploader, VRDURLSession& session,
                                          const URLAuthenticationChallenge& challenge,
                                          const VRDURLSessionDelegate::ChallengeCompletion& completion) override;

 private:
  VZDVizuzodController(std::optional<std::string> betaToken, VZDVizuzodControllerOptions options);
  void start();
  void setUp();
  /// Queues `step` (run with the controller, while it lives) under a process activity.
  void enqueueUnderActivity(const char* activityName, std::uint64_t options,
                            std::function<void(VZDVizuzodController&)> step);
  void recordEvent(const VZDEvent& event);
  void recordCrashEvent(const VZDCrashEvent& event);
  bool passesSampling(const VZDEvent& event) const;
  void forwardToHostAnalytics(const VZDEvent& event) const;
  /// Appends the event (and, in a new file, the metadata line) to `log` now; whether it was written.
  static bool write(const VZDEvent& event, const VZDMetadataSerializable& metadata, const std::filesystem::path& log);
  /// Appends the event to the current log after the events kept while it could not be opened; keeps it (up to
  /// kMaxUnwrittenEvents, counting the rest) when it still cannot be.
  void writeToCurrentLog(const VZDEvent& event);
  /// Keeps the lines `operation` could not write (up to kMaxUnwrittenEvents, counting the rest), said once.
  void keepUnwritten(const VZDWriteEventOperation& operation);
  /// Writes the events kept while the current log could not be opened or written, when it can be now.
  void writeKeptEvents();
  /// The kept events are in the log: said, with how many were dropped.
  void keptEventsWritten();
  /// Says how many events were dropped, kept ones included when `atExit`; once per loss.
  void sayDroppedEvents(bool atExit);
  /// From any thread but the event queue's: runs `step` (if any) on the queue behind what is queued, waiting at
  /// most until `deadline`; whether it ran.
  bool ranOnQueueBy(std::chrono::steady_clock::time_point deadline,
                    std::function<void(VZDVizuzodController&)> step = {});
  /// Queues `step` (if any; run with the controller, while it lives); done once it ran.
  std::shared_future<void> queued(std::function<void(VZDVizuzodController&)> step,
                                  Operation::QueuePriority priority = Operation::QueuePriority::normal);
  /// On the event queue, as the process exits: no more rotations, packaging or uploads.
  void stopSendingForExit();
  void takeSettings(const std::optional<Dictionary>& dictionary);
  std::shared_ptr<Operation> uploadOperationForFileAtURL(const std::filesystem::path& packaged,
                                                         const std::string& boundary);
  /// On the event queue: uploads the package once valid settings allow it, unless it is already under way.
  void submitPackagedFile(const std::filesystem::path& packaged, const std::string& boundary);
  /// Whether `item` can be removed once sent; an item that cannot be is never sent (it would be sent again at
  /// every start), said once a run.
  bool removableOrSay(const std::filesystem::path& item);
  VZDLogPipeline pipeline();
  /// A new current log, claimed before it exists.
  std::filesystem::path newLogPath() const;

  const std::optional<std::string> betaToken_;
  const std::filesystem::path rootDirectory_;
  /// Every file of the events folder that this process writes or sends, claimed by name: processes of one host
  /// share the folder.
  const FileClaims claims_;
  VZDVizuzodControllerOptions options_;
  std::vector<std::uint64_t> observers_;

  // Set up before the first step runs; only read afterwards.
  const std::shared_ptr<OperationQueue> eventQueue_;
  // Touched on the event queue only.
  std::filesystem::path rootEventDirectory_;
  std::unique_ptr<VZDMetadata> metadata_;
  std::shared_ptr<VZDCrashMetadata> previousExecutionMetadata_;
  std::shared_ptr<VZDUploader> uploader_;
  std::shared_ptr<VZDNetworkRetryHandler> networkRetryHandler_;
  std::filesystem::path currentLogURL_;
  VZDEventFilter eventFilter_;
  std::optional<VZDSettings> settings_;
  std::unique_ptr<VZDTimer> flushTimer_;
  std::unique_ptr<VZDRavumaAnalyticsBridge> ravumaAnalyticsBridge_;
  /// Unique names handed to the uploader and not yet finished.
  std::set<std::string> uploadsUnderWay_;
  bool saidUnremovable_ = false;  // event queue only
  /// The process exits: no more rotations.
  bool exiting_ = false;
  std::mutex exitMutex_;
  std::shared_future<void> exitStopped_;  // the exit's first step, once asked for
  /// Lines of events recorded while the current log could not be opened or written, and how many more were
  /// dropped.
  std::vector<std::string> unwrittenEvents_;
  std::string unwrittenMetadata_;  // the metadata line of a new log, made with the first of them
  std::size_t droppedEvents_ = 0;
};

}  // namespace crashreporting
