#include "crashreporting/VizuzodKit/VZDVizuzodController.h"

#include <chrono>
#include <future>

#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/Kit/ZIZSettingsOnboardingManager.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/VizuzodKit/VZDActivity.h"
#include "crashreporting/VizuzodKit/VZDFileUtils.h"
#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/platform/Json.h"
#include "crashreporting/platform/NotificationCenter.h"
#include "crashreporting/platform/SystemLog.h"
#include "platform/base/StoredFile.h"

namespace crashreporting {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEventQueueLabel = "com.zizozu.vizuzod.event-queue";
constexpr const char* kRecordEventActivity = "com.zizozu.vizuzod.record-event";
constexpr const char* kRecordCrashEventActivity = "com.zizozu.vizuzod.record-crash-event";
constexpr const char* kRotateActivity = "com.zizozu.vizuzod.rotate-and-submit";
constexpr const char* kFlushTimerIdentifier = "com.zizozu.vizuzod.timed-flush";
constexpr double kMinimumFlushInterval = 1.0;
// Sudden and automatic termination disabled; rotation adds the background bits.
constexpr std::uint64_t kRecordActivityOptions = VZDActivityRecordingOptions;
constexpr std::uint64_t kRotateActivityOptions = VZDActivitySubmittingOptions;

constexpr const char* kLifecycleNotifications[] = {kVZDWillTerminateNotification, kVZDWillResignActiveNotification,
                                                   kVZDDidBecomeActiveNotification};

const VZDLogger& logger() { return VZDLogger::sharedLogger(); }

std::string describe(const Value& value) {
  std::string error;
  return json::encode(value, error).value_or(value.description());
}

}  // namespace

std::shared_ptr<VZDVizuzodController> VZDVizuzodController::initWithBetaToken(std::optional<std::string> betaToken,
                                                                            VZDVizuzodControllerOptions options) {
  std::shared_ptr<VZDVizuzodController> controller(new VZDVizuzodController(std::move(betaToken), std::move(options)));
  controller->start();
  return controller;
}

VZDVizuzodController::VZDVizuzodController(std::optional<std::string> betaToken, VZDVizuzodControllerOptions options)
    : betaToken_(std::move(betaToken)),
      rootDirectory_(options.rootDirectory.empty() ? rootDirectory() : options.rootDirectory),
      claims_(rootDirectory_ / ".claims"),
      options_(std::move(options)),
      eventQueue_(std::make_shared<OperationQueue>(kEventQueueLabel)) {
  eventQueue_->setMaxConcurrentOperationCount(1);
}

VZDVizuzodController::~VZDVizuzodController() {
  for (const auto id : observers_) NotificationCenter::defaultCenter().removeObserver(id);
}

void VZDVizuzodController::start() {
  const std::weak_ptr<VZDVizuzodController> weak = weak_from_this();
  eventQueue_->addOperationWithBlock([weak] {
    if (const auto self = weak.lock()) self->setUp();
  });

  auto& center = NotificationCenter::defaultCenter();
  for (const char* name : kLifecycleNotifications) {
    observers_.push_back(center.addObserver(name, [weak](std::string_view posted) {
      if (const auto self = weak.lock()) self->applicationLifecycleEvent(posted);
    }));
  }
  observers_.push_back(center.addObserver(ZIZSettingsAvailableNotification, [weak](std::string_view) {
    if (const auto self = weak.lock()) self->zizozuSettingsDidBecomeAvailable();
  }));

  Zizozu& zizozu = Zizozu::sharedSDK();
  if (zizozu.isFirstInstall()) enqueueEvent(VZDLifecycleEvent::installEvent());
  enqueueEvent(VZDLifecycleEvent::appLaunchedEvent());
  initializeSettingsIfNeededWithZizozuSettings(zizozu.settings());
  zizozu.setAdvertisingToken(VZDMetadata::identifierForAdvertising());
}

void VZDVizuzodController::setUp() {
  rootEventDirectory_ = VZDEventPaths::eventDirectoryForRootDirectory(rootDirectory_);
  std::error_code ec;
  fs::create_directories(rootEventDirectory_, ec);
  currentLogURL_ = newLogPath();
  settings_.emplace();
  metadata_ = std::make_unique<VZDMetadata>(Zizozu::sharedSDK(), betaToken_);

  // The previous run's metadata is taken before this run's replaces it in the file.
  VZDRotateCrashMetadataOperation rotate(VZDEventPaths::crashMetadataPathForRootDirectory(rootDirectory_), *metadata_);
  rotate.main();
  previousExecutionMetadata_ = rotate.crashMetadata();

  networkRetryHandler_ = options_.retryHandler ? options_.retryHandler : std::make_shared<VZDNetworkRetryHandler>();
  uploader_ = VZDUploader::create(eventQueue_, weak_from_this());
  ravumaAnalyticsBridge_ = std::make_unique<VZDRavumaAnalyticsBridge>();
  cleanupAndProcessExistingFiles();
}

void VZDVizuzodController::enqueueUnderActivity(const char* activityName, std::uint64_t options,
                                               std::function<void(VZDVizuzodController&)> step) {
  // The activity begins now and ends once the step has run (the event's line is written within the step), or
  // when the step is let go of unrun: one operation per event rather than a second one for the activity.
  std::shared_ptr<VZDActivity> activity = VZDActivity::beginActivity(activityName, options);
  eventQueue_->addOperation(std::make_shared<VZDBlockOperation>(
      [weak = weak_from_this(), step = std::move(step), activity = std::move(activity)] {
        if (const auto self = weak.lock()) step(*self);
        activity->end();
      }));
}

void VZDVizuzodController::logEvent(std::shared_ptr<const VZDEvent> event) {
  if (!event) return;
  if (logger().debugMode()) logger().log("Logging Vizuzod event: " + event->description());
  enqueueEvent(std::move(event));
}

void VZDVizuzodController::enqueueEvent(std::shared_ptr<const VZDEvent> event) {
  if (!event) return;
  enqueueUnderActivity(kRecordEventActivity, kRecordActivityOptions,
                       [event = std::move(event)](VZDVizuzodController& self) { self.recordEvent(*event); });
}

void VZDVizuzodController::logCrashEvent(std::shared_ptr<const VZDCrashEvent> event) {
  if (!event) return;
  enqueueUnderActivity(kRecordCrashEventActivity, kRecordActivityOptions,
                       [event = std::move(event)](VZDVizuzodController& self) { self.recordCrashEvent(*event); });
}

void VZDVizuzodController::applicationLifecycleEvent(std::string_view notificationName) {
  enqueueEvent(VZDLifecycleEvent::eventWithNotification(notificationName));
}

bool VZDVizuzodController::passesSampling(const VZDEvent& event) const {
  if (!eventFilter_.shouldDiscardEvent(&event, metadata_->betaToken(), metadata_->installationId(),
                                       settings_->samplingRate()))
    return true;
  logger().log("Application is enabled for sampling, skipping " + event.description());
  return false;
}

void VZDVizuzodController::forwardToHostAnalytics(const VZDEvent& event) const {
  if (!settings_->shouldForwardToRavumaAnalytics()) return;
  const auto* predefined = dynamic_cast<const VZDPredefinedEvent*>(&event);
  if (predefined && predefined->predefinedEventName() == "purchase" &&
      !settings_->shouldIncludePurchaseEventsInForwardedRavumaEvents())
    return;
  ravumaAnalyticsBridge_->logEvent(event);
}

bool VZDVizuzodController::write(const VZDEvent& event, const VZDMetadataSerializable& metadata, const fs::path& log) {
  // Written here, inside the event's own step, rather than as a later step of the queue: a burst of events
  // would otherwise all be judged against the file as it was before any of them was written.
  const auto operation = std::make_shared<VZDWriteEventOperation>(event, metadata, log);
  operation->start();
  return operation->unwritten().empty();
}

void VZDVizuzodController::recordEvent(const VZDEvent& event) {
  if (!shouldLogEvent() || !passesSampling(event)) return;
  forwardToHostAnalytics(event);
  // The size is read before this event's line is written; the line still goes into the rotated file. Once the
  // process exits the log only grows: a package made now could be cut short, or sent and then sent again.
  const bool rotate = !exiting_ && (shouldSubmitLogAtURL(currentLogURL_) || event.triggersFlush());
  writeToCurrentLog(event);
  if (rotate) rotateAndSubmitCurrentLog();
}

void VZDVizuzodController::writeToCurrentLog(const VZDEvent& event) {
  VZDWriteEventOperation operation(event, *metadata_, currentLogURL_);
  operation.setEarlierLines(unwrittenEvents_);
  operation.start();
  if (operation.unwritten().empty()) {
    if (operation.opened()) keptEventsWritten();
    return;  // else nothing to write: its payload is no JSON
  }
  if (unwrittenEvents_.empty()) unwrittenMetadata_ = operation.formattedMetadata().value_or("");
  keepUnwritten(operation);
}

void VZDVizuzodController::keepUnwritten(const VZDWriteEventOperation& operation) {
  if (unwrittenEvents_.empty() && droppedEvents_ == 0) {
    SystemLog::write(std::string("[Vizuzod] The events log cannot be ") +
                     (operation.openError() ? "opened" : "written") + " now (" +
                     operation.openError().value_or(operation.writeError().value_or("")) +
                     "): events are kept in memory until it can be (" + std::to_string(kMaxUnwrittenEvents) +
                     " at most)");
  }
  // Those written whole leave memory; the rest stay in order, the newest beyond the bound counted.
  unwrittenEvents_ = operation.unwritten();
  if (unwrittenEvents_.size() > kMaxUnwrittenEvents) {
    droppedEvents_ += unwrittenEvents_.size() - kMaxUnwrittenEvents;
    unwrittenEvents_.resize(kMaxUnwrittenEvents);
  }
}

void VZDVizuzodController::writeKeptEvents() {
  if (unwrittenEvents_.empty()) return;
  VZDWriteEventOperation operation(unwrittenMetadata_, unwrittenEvents_, currentLogURL_);
  operation.start();
  if (operation.unwritten().empty()) keptEventsWritten();
  else unwrittenEvents_ = operation.unwritten();
}

void VZDVizuzodController::keptEventsWritten() {
  if (!unwrittenEvents_.empty())
    SystemLog::write("[Vizuzod] The events log takes events again: " + std::to_string(unwrittenEvents_.size()) +
                     " events kept meanwhile are written");
  unwrittenEvents_.clear();
  sayDroppedEvents(false);
}

void VZDVizuzodController::sayDroppedEvents(bool atExit) {
  const std::size_t dropped = droppedEvents_ + (atExit ? unwrittenEvents_.size() : 0);
  if (dropped == 0) return;
  SystemLog::write("[Vizuzod] WARNING: " + std::to_string(dropped) +
                   " events recorded while the events log could not be opened or written were dropped" +
                   (atExit ? " (the process exits)" : ""));
  droppedEvents_ = 0;
  if (atExit) unwrittenEvents_.clear();
}

void VZDVizuzodController::recordCrashEvent(const VZDCrashEvent& event) {
  logger().log("Attempting to log " + event.name());
  if (!shouldLogEvent() || !passesSampling(event)) return;
  // The crash gets a file of its own, headed by the metadata of the run that crashed, and is sent at once.
  std::error_code ec;
  if (fs::is_regular_file(currentLogURL_, ec)) rotateAndSubmitCurrentLog();
  if (!write(event, *previousExecutionMetadata_, currentLogURL_))
    SystemLog::write("[Vizuzod] WARNING: 1 crash event could not be written and is dropped");
  rotateAndSubmitCurrentLog();
}

void VZDVizuzodController::rotateAndSubmitCurrentLog() {
  const auto activity = VZDActivityOperation::operationByStartingActivityName(kRotateActivity, kRotateActivityOptions);
  const fs::path log = currentLogURL_;
  currentLogURL_ = newLogPath();
  auto operations = pipeline().operationsForUncompressedLog(log);
  for (const auto& operation : operations) activity->addDependency(operation);
  operations.push_back(activity);
  eventQueue_->addOperations(operations, false);
}

fs::path VZDVizuzodController::newLogPath() const {
  fs::path log = VZDEventPaths::generateNewLogPath(rootEventDirectory_);
  // A new name is another process's only by a collision of the claims' hash: a few more tries settle it.
  for (int attempt = 0; attempt < 8 && !claims_.claimItem(log); ++attempt)
    log = VZDEventPaths::generateNewLogPath(rootEventDirectory_);
  return log;
}

VZDLogPipeline VZDVizuzodController::pipeline() {
  return VZDLogPipeline(rootEventDirectory_, claims_,
                        [weak = weak_from_this()](const fs::path& packaged, const std::string& boundary) {
                          const auto self = weak.lock();
                          std::shared_ptr<Operation> upload =
                              self ? self->uploadOperationForFileAtURL(packaged, boundary) : nullptr;
                          if (!upload) {
                            upload = std::make_shared<VZDBlockOperation>(nullptr);
                            upload->cancel();
                          }
                          return upload;
                        });
}

std::shared_ptr<Operation> VZDVizuzodController::uploadOperationForFileAtURL(const fs::path& packaged,
                                                                           const std::string& boundary) {
  // Decided when the step runs, not when it is made: a package that is finished after the settings arrived goes
  // at once, even when its log was rotated before them.
  return std::make_shared<VZDBlockOperation>([weak = weak_from_this(), packaged, boundary] {
    if (const auto self = weak.lock()) self->submitPackagedFile(packaged, boundary);
  });
}

void VZDVizuzodController::submitPackagedFile(const fs::path& packaged, const std::string& boundary) {
  // Once per package: settings that arrive list every package on disk, and its own chain may still be queued.
  if (uploadsUnderWay_.contains(boundary)) return;
  // Without settings the packaged file waits for them, or for the next start; meanwhile it is not held, so a copy
  // of the host that has settings sends it (this one takes it up again once its own settings arrive).
  if (!settings_ || !settings_->valid() || !settings_->shouldCollectAnalytics()) {
    claims_.releaseItem(packaged);
    return;
  }
  if (!claims_.claimItem(packaged)) {
    logger().log("'" + boundary + "' is being sent by another process.");
    return;
  }
  if (!removableOrSay(packaged)) return;
  uploadsUnderWay_.insert(boundary);
  VZDUploadOperation upload(std::weak_ptr<VZDUploadTarget>(uploader_), settings_->vizuzodURL(), metadata_->APIKey(),
                            packaged, boundary);
  upload.main();
}

bool VZDVizuzodController::removableOrSay(const fs::path& item) {
  const auto why = tilvane::whyNotRemovable(item);
  if (!why) return true;
  if (!saidUnremovable_) {
    saidUnremovable_ = true;
    SystemLog::write("[Vizuzod] WARNING: '" + item.string() + "' cannot be removed once sent (" + *why +
                     "): events that cannot be removed are not sent, so that none is sent again at every start");
  }
  return false;
}

std::shared_future<void> VZDVizuzodController::queued(std::function<void(VZDVizuzodController&)> step,
                                                      Operation::QueuePriority priority) {
  const auto done = std::make_shared<std::promise<void>>();
  std::shared_future<void> ran = done->get_future().share();
  eventQueue_->addOperationWithBlock(
      [weak = weak_from_this(), step = std::move(step), done] {
        if (step)
          if (const auto self = weak.lock()) step(*self);
        done->set_value();
      },
      priority);
  return ran;
}

bool VZDVizuzodController::ranOnQueueBy(std::chrono::steady_clock::time_point deadline,
                                        std::function<void(VZDVizuzodController&)> step) {
  return queued(std::move(step)).wait_until(deadline) == std::future_status::ready;
}

bool VZDVizuzodController::waitForQueuedWork(std::chrono::steady_clock::duration bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  // The steps that events queued may queue more (rotation, packaging): wait until a marker finds nothing left.
  for (;;) {
    if (!ranOnQueueBy(deadline)) return false;
    if (eventQueue_->operationCount() == 0) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
  }
}

void VZDVizuzodController::stopSendingForExit() {
  exiting_ = true;
  if (uploader_) uploader_->holdNewUploads();
  // A packaging the exit cut between writing the package and deleting its gz would leave both, and both would be
  // sent: the gz waits for the next start instead.
  for (const auto& operation : eventQueue_->operations())
    if (std::dynamic_pointer_cast<VZDPackageLogOperation>(operation)) operation->cancel();
}

void VZDVizuzodController::stopForExit() {
  const std::lock_guard lock(exitMutex_);
  // Ahead of the events still queued (a burst of them may outlast the bound).
  if (!exitStopped_.valid())
    exitStopped_ =
        queued([](VZDVizuzodController& self) { self.stopSendingForExit(); }, Operation::QueuePriority::veryHigh);
}

bool VZDVizuzodController::finishAtExit(std::chrono::steady_clock::time_point deadline) {
  stopForExit();
  std::shared_future<void> stopped;
  {
    const std::lock_guard lock(exitMutex_);
    stopped = exitStopped_;
  }
  if (stopped.wait_until(deadline) != std::future_status::ready) return false;
  // The events queued before the exit are written; what they queued in turn takes a few more turns. Events that
  // keep coming are not waited for. Meanwhile the answers of the uploads under way are handled ahead of them.
  if (!ranOnQueueBy(deadline)) return false;
  for (int turn = 0; turn < 3 && eventQueue_->operationCount() > 0; ++turn) {
    if (!ranOnQueueBy(deadline)) return false;
  }
  if (!ranOnQueueBy(deadline, [](VZDVizuzodController& self) {
        self.writeKeptEvents();
        self.sayDroppedEvents(true);
      }))
    return false;
  // Read after the queue set it up: the steps above ran after the start-up.
  if (!uploader_ || uploader_->waitUntilAnswered(deadline)) return true;
  SystemLog::write("[Vizuzod] An upload was not answered before the exit: its events go again at the next start");
  return false;
}

void VZDVizuzodController::zizozuSettingsDidBecomeAvailable() {
  initializeSettingsIfNeededWithZizozuSettings(Zizozu::sharedSDK().settings());
}

void VZDVizuzodController::initializeSettingsIfNeededWithZizozuSettings(std::optional<Dictionary> settings) {
  eventQueue_->addOperationWithBlock([weak = weak_from_this(), settings = std::move(settings)] {
    if (const auto self = weak.lock()) self->takeSettings(settings);
  });
}

void VZDVizuzodController::takeSettings(const std::optional<Dictionary>& dictionary) {
  if (!dictionary || (settings_ && settings_->valid())) return;
  settings_.emplace(*dictionary);
  if (!settings_->shouldCollectAnalytics()) {
    logger().log("Vizuzod is disabled. Cleaning up.");
    removeAllLogs();
    return;
  }
  const auto analytics = dictionary->find("analytics");
  logger().log("Vizuzod enabled with settings: " +
               (analytics == dictionary->end() ? std::string("(null)") : describe(analytics->second)));
  logger().log("Logging events to " + rootEventDirectory_.string());
  setupFlushTimer();
  uploader_->setDefaultUploadTimeout(settings_->defaultUploadTimeout());
  uploader_->setLowPowerUploadTimeout(settings_->lowPowerUploadTimeout());
  uploadAllMultipartFiles();
}

bool VZDVizuzodController::shouldLogEvent() const {
  if (!settings_) return false;
  if (!settings_->valid()) return true;  // recorded until the first settings decide
  return settings_->shouldCollectAnalytics();
}

bool VZDVizuzodController::shouldSubmitLogAtURL(const fs::path& log) const {
  const std::uintmax_t size = VZDFileUtils::fileSizeAtURL(log);
  return static_cast<std::int64_t>(std::min<std::uintmax_t>(size, INT64_MAX)) > settings_->maximumPayloadSize();
}

void VZDVizuzodController::removeAllLogs() {
  std::error_code ec;
  for (fs::directory_iterator it(rootEventDirectory_, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code removeError;
    fs::remove_all(it->path(), removeError);
  }
}

void VZDVizuzodController::cleanupAndProcessExistingFiles() {
  // Run here, within the start-up step, so the earlier run's files are sorted (and the surplus packages
  // deleted) before any upload of this run may take one of them.
  const auto cleanup =
      std::make_shared<VZDCleanupFilesOperation>(rootEventDirectory_, settings_->maxPendingSendFiles(), claims_);
  cleanup->setSuccessBlock([this](auto logs, auto gzs, auto multiparts) {
    const auto unremovable = [this](const fs::path& item) { return !removableOrSay(item); };
    std::erase_if(logs, unremovable);
    std::erase_if(gzs, unremovable);
    std::erase_if(multiparts, unremovable);
    const VZDLogPipeline chains = pipeline();
    for (const auto& log : logs) eventQueue_->addOperations(chains.operationsForUncompressedLog(log), false);
    for (const auto& gz : gzs) eventQueue_->addOperations(chains.operationsForCompressedLog(gz), false);
    uploader_->attemptToReconnectBackgroundSessionWithCompletionBlock(
        [weak = weak_from_this(), multiparts] {
          if (const auto self = weak.lock()) self->uploadMultipartFiles(multiparts);
        });
  });
  cleanup->start();
}

void VZDVizuzodController::uploadAllMultipartFiles() {
  uploadMultipartFiles(VZDFileUtils::filesWithExtension("multipartmime", rootEventDirectory_));
}

void VZDVizuzodController::uploadMultipartFiles(const std::set<fs::path>& files) {
  for (const auto& file : files) {
    const auto boundary = VZDEventPaths::boundaryFromURL(file);
    if (!boundary) continue;
    eventQueue_->addOperation(uploadOperationForFileAtURL(file, *boundary));
  }
}

void VZDVizuzodController::setupFlushTimer() {
  double interval = settings_->flushInterval();
  if (!(interval > 0)) {
    flushTimer_.reset();
    return;
  }
  if (interval < kMinimumFlushInterval) {
    // A tick costs a step of the event queue: a server's tiny interval would keep a core busy.
    SystemLog::write("[Vizuzod] flush_interval_secs " + Value(interval).description() +
                     " is below one second: flushing every second");
    interval = kMinimumFlushInterval;
  }
  flushTimer_ = std::make_unique<VZDTimer>(
      interval, eventQueue_, kFlushTimerIdentifier,
      [weak = weak_from_this()] {
        if (const auto self = weak.lock()) self->flushTimerFired();
      },
      options_.timerScheduler);
}

void VZDVizuzodController::flushTimerFired() {
  if (!(settings_->flushInterval() > 0)) {
    flushTimer_.reset();
    return;
  }
  if (!exiting_ && shouldSubmitLogAtURL(currentLogURL_)) rotateAndSubmitCurrentLog();
}

fs::path VZDVizuzodController::uploaderFilePathForUniqueName(VZDUploader&, const std::string& uniqueName) {
  return VZDEventPaths::multipartMimeURLWithBoundary(rootEventDirectory_, uniqueName);
}

void VZDVizuzodController::uploaderCompletedRequest(VZDUploader&, const URLRequest& request,
                                                    const std::optional<URLResponse>& response,
                                                    const std::string& uniqueName, const std::optional<Error>& error,
                                                    CompletionHandler completionHandler) {
  networkRetryHandler_->handleCompletedRequest(
      request, response, uniqueName, error,
      [uniqueName, completionHandler = std::move(completionHandler)](bool retry, const std::optional<Error>& judged) {
        if (judged) logger().log("Error transmitting '" + uniqueName + "': " + judged->description());
        if (retry) logger().log("Scheduling retry for '" + uniqueName + "'.");
        completionHandler(retry, judged);
      });
}

void VZDVizuzodController::uploaderDidFinishUploadWithUniqueName(VZDUploader& uploader, const std::string& uniqueName,
                                                                 const std::optional<Error>& error) {
  uploadsUnderWay_.erase(uniqueName);
  if (error && error->domain == kZIZNetworkErrorDomain && error->code == VZDUploaderErrorUnreadableNow) {
    // Said by the uploader: the package stays, for whoever starts next (or sends it first).
    if (uniqueName.find('/') == std::string::npos)
      claims_.releaseItem(uploaderFilePathForUniqueName(uploader, uniqueName));
    return;
  }
  if (error) logger().log("Failed to upload '" + uniqueName + "': " + error->description());
  logger().log("Finished transmission of '" + uniqueName + "'.");
  // Our names are multipart boundaries: anything else names no file of ours.
  if (uniqueName.empty() || uniqueName.find('/') != std::string::npos || uniqueName == "..") return;
  const fs::path packaged = uploaderFilePathForUniqueName(uploader, uniqueName);
  std::error_code ec;
  fs::remove(packaged, ec);
  if (!ec) claims_.releaseItem(packaged);
}

void VZDVizuzodController::uploaderSessionDidReceiveChallenge(
    VZDUploader&, VRDURLSession& session, const URLAuthenticationChallenge& challenge,
    const VRDURLSessionDelegate::ChallengeCompletion& completion) {
  networkRetryHandler_->handleChallenge(challenge, session, completion);
}

}  // namespace crashreporting
