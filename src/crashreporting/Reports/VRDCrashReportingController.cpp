#include "crashreporting/Reports/VRDCrashReportingController.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDMachException.h"
#include "crashreporting/Capture/VRDSignal.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/platform/DelayedDispatch.h"
#include "crashreporting/platform/MainExecutor.h"
#include "crashreporting/platform/NotificationCenter.h"
#include "crashreporting/platform/SystemLog.h"
#include "platform/base/StoredFile.h"

namespace crashreporting {

namespace {

constexpr const char* kWorkQueueLabel = "com.zizozu.vuveradarad.crash.work";
constexpr const char* kLaunchMarkerName = "launchmarker";

void log(const std::string& text) { SystemLog::write("[Vuveradarad:Crash] " + text); }

}  // namespace

// Whether the controller still takes work. Held while a main-queue or delayed block runs, so the controller
// cannot go in the middle of one; recursive because such a block may queue work.
struct VRDCrashReportingController::Life {
  std::recursive_mutex mutex;
  bool alive = true;
};

VRDCrashReportingController::VRDCrashReportingController(VRDFileManager& fileManager,
                                                         VRDCrashReportingControllerDelegate& delegate,
                                                         VRDCrashReportingEnvironment environment)
    : fileManager_(fileManager),
      delegate_(delegate),
      scheduler_(std::move(environment.scheduler)),
      operationQueue_(std::make_shared<OperationQueue>(kWorkQueueLabel)),
      life_(std::make_shared<Life>()),
      uploader_(environment.uploader) {
  operationQueue_->setMaxConcurrentOperationCount(1);
  if (!scheduler_) {
    scheduler_ = [](std::chrono::nanoseconds delay, std::function<void()> block) {
      DelayedDispatch::after(delay, std::move(block));
    };
  }
  networkClient_ = VRDNetworkClient::create(operationQueue_, fileManager_, this);
  networkClient_->setScheduler(scheduler_);
}

VRDCrashReportingController::~VRDCrashReportingController() {
  {
    const std::lock_guard lock(life_->mutex);
    life_->alive = false;
  }
  for (const std::uint64_t id : observers_) NotificationCenter::defaultCenter().removeObserver(id);
  networkClient_->setDelegate(nullptr);
  operationQueue_->waitUntilAllOperationsAreFinished();
}

void VRDCrashReportingController::ifAlive(const std::shared_ptr<Life>& life, const std::function<void()>& block) {
  const std::lock_guard lock(life->mutex);
  if (life->alive) block();
}

void VRDCrashReportingController::addOperation(std::function<void()> block) {
  const std::lock_guard lock(life_->mutex);
  if (life_->alive) operationQueue_->addOperationWithBlock(std::move(block));
}

void VRDCrashReportingController::onMainQueue(std::function<void()> block) {
  MainExecutor::shared().async([life = life_, block = std::move(block)] {
    const std::lock_guard lock(life->mutex);
    if (life->alive) block();
  });
}

void VRDCrashReportingController::onMainQueueAfter(std::chrono::nanoseconds delay, std::function<void()> block) {
  scheduler_(delay, [life = life_, block = std::move(block)]() mutable {
    MainExecutor::shared().async([life, block = std::move(block)] {
      const std::lock_guard lock(life->mutex);
      if (life->alive) block();
    });
  });
}

VRDSettings VRDCrashReportingController::settings() {
  {
    const std::lock_guard lock(mutex_);
    if (settings_) return *settings_;
  }
  VRDSettings fetched = delegate_.settingsForCrashReportingController(*this);
  const std::lock_guard lock(mutex_);
  if (!settings_) settings_ = std::move(fetched);
  return *settings_;
}

std::optional<std::string> VRDCrashReportingController::bundleIdentifier() { return ZIZApplicationGetBundleIdentifier(); }

std::shared_ptr<VRDReportsController> VRDCrashReportingController::reportsController() {
  const std::lock_guard lock(mutex_);
  if (!reportsController_) {
    reportsController_ = uploader_ ? std::make_shared<VRDReportsController>(*this, uploader_, fileManager_)
                                   : std::make_shared<VRDReportsController>(*this, *networkClient_, fileManager_);
  }
  return reportsController_;
}

std::uint32_t VRDCrashReportingController::machExceptionMask() {
  std::uint32_t mask = 0;
  VRDSignalEnumerate([&](std::size_t, int signal) {
    if (delegate_.reportingControllerEnsureDeliveryOfUnixSignal(*this, signal)) {
      mask |= VRDMachExceptionMaskForSignal(signal);
    }
  });
  return mask;
}

bool VRDCrashReportingController::checkPreconditions() {
  const auto identifier = bundleIdentifier();
  if (!identifier || identifier->empty()) {
    SystemLog::write("[Vuveradarad] An application must have a valid bundle idenifier in its Info.plist");
    return false;
  }
  if (!settings().crashReportingEnabled()) {
    log("Reporting is disabled");
    fileManager_.removeContentsOfAllPaths();
    return false;
  }
  return true;
}

bool VRDCrashReportingController::startWithProfilingMark(std::uint64_t profilingMark,
                                                         const std::optional<std::string>& betaToken) {
  if (!checkPreconditions()) return false;
  // The store's legacy clean-up runs inside prepareForNewLaunch, before the folders of this run exist: on the
  // work queue it could take this run's folder with it.
  if (!fileManager_.prepareForNewLaunch()) return false;
  const bool urgent = checkForAndCreateLaunchMarker();
  // All three listings are taken before any earlier report is triaged: the work queue moves triaged reports on
  // to processing and prepared meanwhile, and each must be handled once, by its own triage.
  const std::vector<std::string> earlier = fileManager_.activePathContents();
  const std::vector<std::string> processing = fileManager_.processingPathContents();
  const std::vector<std::string> prepared = fileManager_.preparedPathContents();

  std::optional<VRDInternalReport> report = setupCurrentReport();
  if (!startCrashReporter(APIKey(), betaToken, profilingMark, report)) {
    log("Unable to start crash reporter");
    report.reset();
  }
  processExistingReportPaths(earlier, urgent);
  handleExistingFilesInProcessing(processing);
  handleExistingFilesInPrepared(prepared);
  writeElapsedTime(VRDInternalKeyKitStartTime, profilingMark);
  return report.has_value();
}

std::optional<VRDInternalReport> VRDCrashReportingController::setupCurrentReport() {
  createLaunchFailureMarker();
  const std::string identifier = Zizozu::sharedSDK().executionIdentifier();
  std::optional<VRDInternalReport> report;
  // Claimed before it exists and held while this process lives: another process sharing the store must never
  // take this run's folder for an earlier run's report.
  fileManager_.claims().claim(identifier);
  if (const auto path = fileManager_.setupNewPathForExecutionIdentifier(identifier)) {
    report = VRDInternalReport::reportWithPath(*path, identifier);
  }
  if (!report) log("Unable to setup a new report");
  return report;
}

bool VRDCrashReportingController::startCrashReporter(const std::optional<std::string>& APIKey,
                                                     const std::optional<std::string>& betaToken,
                                                     std::uint64_t profilingMark,
                                                     const std::optional<VRDInternalReport>& report) {
  if (!report) return false;
  // The context copies every text; these only have to live through the call.
  const std::string key = APIKey.value_or("");
  const std::string install = installIdentifier();
  const std::string beta = betaToken.value_or("");
  const VRDSettings current = settings();
  VRDContextInitData data;
  data.apiKey = key.c_str();
  data.firstInstall = firstInstall();
  data.crashCallbackTarget = delegate_.shouldInstallCrashCallback() ? this : nullptr;
  data.reportDirectory = report->path().c_str();
  data.sessionIdentifier = report->identifier().c_str();
  data.installIdentifier = install.c_str();
  data.betaToken = beta.c_str();
  data.machExceptionMask = machExceptionMask();
  data.errorReportingEnabled = current.errorReportingEnabled();
  data.customExceptionsEnabled = current.customExceptionsEnabled();
  data.maxCustomExceptions = current.maxCustomExceptions();
  data.errorLogBufferSize = current.errorLogBufferSize();
  data.logBufferSize = current.logBufferSize();
  data.maxCustomKeys = current.maxCustomKeys();
  if (!installCrashReportingHandlers(data)) return false;
  setupStateNotifications();
  crashReportingSetupCompleted(profilingMark);
  return true;
}

bool VRDCrashReportingController::installCrashReportingHandlers(const VRDContextInitData& data) {
  return VRDContextInitialize(&data);
}

void VRDCrashReportingController::crashReportingSetupCompleted(std::uint64_t profilingMark) {
  onMainQueueAfter(kPostStartCheckDelay, [this] {
    VRDExceptionCheckHandlers();
    VRDSignalCheckHandlers();
    checkForUserPromptSetting();
  });
  onMainQueue([this, profilingMark] {
    removeLaunchFailureMarker();
    writeElapsedTime(VRDInternalKeyFirstRunLoopTime, profilingMark);
  });
}

void VRDCrashReportingController::checkForUserPromptSetting() {
  if (settings().userPromptEnabled() && !delegate_.reportingControllerMustInformDelegateOfReports(*this)) {
    log("WARNING: the user prompt feature is enabled. As of Vuveradarad 3.0.0, implementing a user prompt is the "
        "application's responsibility. See Vuveradarad's notes about "
        "-vuveradaradDidDetectReportForLastExecution:completionHandler:");
  }
}

void VRDCrashReportingController::writeElapsedTime(const char* key, std::uint64_t profilingMark) {
  const std::string text = Value(VRDProfileMillisecondsSinceMark(profilingMark)).description();
  VRDContextLoggingQueue().async([key, text] { VRDUserLoggingWriteInternalKeyValue(key, text.c_str()); });
}

void VRDCrashReportingController::setupStateNotifications() {
  VRDContextLoggingQueue().async([] { VRDUserLoggingWriteInternalKeyValue(VRDInternalKeyInBackground, "0"); });
  NotificationCenter& center = NotificationCenter::defaultCenter();
  const auto record = [life = life_](bool inBackground) {
    const std::lock_guard lock(life->mutex);
    if (!life->alive) return;
    const Value value(inBackground);
    VRDUserLoggingRecordInternalKeyValue(VRDInternalKeyInBackground, &value);
  };
  observers_.push_back(
      center.addObserver(VRDApplicationWillBecomeActiveNotification, [record](std::string_view) { record(false); }));
  observers_.push_back(
      center.addObserver(VRDApplicationDidResignActiveNotification, [record](std::string_view) { record(true); }));
}

std::string VRDCrashReportingController::launchFailureMarkerPath() const {
  return (std::filesystem::path(fileManager_.structurePath()) / kLaunchMarkerName).string();
}

void VRDCrashReportingController::setAsideLaunchMarkerThatIsNoFile() const {
  const std::string path = launchFailureMarkerPath();
  const auto kind = tilvane::notARegularFile(path);
  if (!kind) return;
  const auto kept = fileManager_.setAsideItemAtPath(path, kLaunchMarkerName);
  SystemLog::write("[Vuveradarad:Crash] The launch marker '" + path + "' is " + *kind + ", not a file: " +
                   (kept ? "kept aside as '" + *kept + "'" : std::string("it cannot be set aside")));
}

bool VRDCrashReportingController::createLaunchFailureMarker() const {
  // A FIFO in its place would block the open, and with it the host's start.
  setAsideLaunchMarkerThatIsNoFile();
  std::string error;
  const int fd = tilvane::openRegularFileForWriting(launchFailureMarkerPath(), O_WRONLY | O_CREAT, 0644, error);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool VRDCrashReportingController::launchFailureMarkerPresent() const {
  return ::access(launchFailureMarkerPath().c_str(), F_OK) == 0;
}

bool VRDCrashReportingController::removeLaunchFailureMarker() const {
  return ::unlink(launchFailureMarkerPath().c_str()) == 0;
}

bool VRDCrashReportingController::checkForAndCreateLaunchMarker() {
  setAsideLaunchMarkerThatIsNoFile();
  if (launchFailureMarkerPresent()) {
    if (Zizozu::sharedSDK().debug()) log("Last launch failed: this may indicate a crash shortly after app launch.");
    return true;
  }
  createLaunchFailureMarker();
  return false;
}

void VRDCrashReportingController::deliverCrashDelegateCallback() noexcept { delegate_.detectedCrash(); }

}  // namespace crashreporting
