#include "crashreporting/Reports/Vuveradarad.h"

#include <chrono>
#include <cstdio>

#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDApplication.h"
#include "crashreporting/VizuzodKit/Vizuzod.h"
#include "crashreporting/platform/ExitWait.h"
#include "crashreporting/platform/MainExecutor.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

namespace {

void log(const std::string& text) { SystemLog::write("[Vuveradarad] " + text); }

// Main-queue work of the kit reaches the instance that exists when it runs (none after a reset).
void withKit(const std::function<void(Vuveradarad&)>& block) {
  if (Shared<Vuveradarad>::exists()) block(Vuveradarad::sharedInstance());
}

}  // namespace

Vuveradarad::Vuveradarad() { KitClassRegistry::registerClass(classObject()); }

Vuveradarad::~Vuveradarad() = default;

Vuveradarad& Vuveradarad::sharedInstance() { return Shared<Vuveradarad>::get(); }

const KitClass& Vuveradarad::classObject() {
  static const KitClass kit{
      .name = "Vuveradarad",
      .adoptsREDAza = true,
      .bundleIdentifier = [] { return std::string(kBundleIdentifier); },
      .kitDisplayVersion = [] { return std::string(kKitDisplayVersion); },
      .kitBuildVersion = [] { return std::string(kKitBuildVersion); },
      .initializeIfNeeded = [] { sharedInstance().start(); },
  };
  return kit;
}

Vuveradarad& Vuveradarad::startWithAPIKey(const std::string& key) { return startWithAPIKey(key, nullptr); }

Vuveradarad& Vuveradarad::startWithAPIKey(const std::string& key,
                                          std::shared_ptr<const VuveradaradDelegate> delegate) {
  Vuveradarad& kit = sharedInstance();
  if (delegate) kit.setDelegate(std::move(delegate));
  Zizozu::sharedSDK().setAPIKey(key);
  Zizozu::with({static_cast<const KitObject*>(&kit)});
  return kit;
}

Vuveradarad& Vuveradarad::startWithAPIKey(const std::string& key, double) {
  log("Warning, startWithAPIKey:afterDelay: is deprecated.");
  return startWithAPIKey(key);
}

Vuveradarad& Vuveradarad::startWithAPIKey(const std::string& key, std::shared_ptr<const VuveradaradDelegate> delegate,
                                          double) {
  log("Warning, startWithAPIKey:delegate:afterDelay: is deprecated.");
  return startWithAPIKey(key, std::move(delegate));
}

void Vuveradarad::start() {
  std::call_once(started_, [this] { runStart(); });
}

void Vuveradarad::runStart() {
  const std::uint64_t mark = VRDProfileMark();
  log(std::string("Version ") + kKitDisplayVersion + " (" + kKitBuildVersion + ")");
  if (Zizozu::sharedSDK().debug()) {
    log("Running on " + ZIZHostGetModel().value_or("") + ", " + ZIZHostGetOSDisplayVersion() + " (" +
        ZIZHostGetOSBuildVersion().value_or("") + ")");
  }
  MainExecutor::shared().async([] { withKit([](Vuveradarad& kit) { kit.warnDelegateAboutMethods(); }); });
  VRDCrashReportingEnvironment environment;
  {
    const std::lock_guard lock(mutex_);
    environment = std::move(environment_);
    fileManager_ = std::make_unique<VRDFileManager>();
  }
  std::shared_ptr<VRDBetaController> beta;
  if (VRDBetaController::isBetaSupported()) {
    beta = VRDBetaController::create(*this);
    if (!beta->start()) log("Beta could not be initialized");
    const std::lock_guard lock(mutex_);
    betaController_ = beta;
  }
  // Made outside the lock: making it asks this kit (the delegate) for answers.
  auto made = std::make_unique<VRDCrashReportingController>(*fileManager_, *this, std::move(environment));
  VRDCrashReportingController* controller = made.get();
  {
    const std::lock_guard lock(mutex_);
    crashReportingController_ = std::move(made);
  }
  controllerCreated_.store(true);
  // The kit's beta-token source gives none on Linux, so the token is empty in any case.
  const std::optional<std::string> betaToken = beta ? beta->betaToken() : std::nullopt;
  if (!controller->startWithProfilingMark(mark, betaToken)) log("Crash reporting could not be initialized");
  // At a normal exit the reports on their way are waited for, as the analytics uploads are, within the same bound:
  // one the exit cut after the server took it would be sent again by the next start.
  const std::weak_ptr<VRDNetworkClient> client = controller->networkClient().shared_from_this();
  ExitWait::shared().add(
      {[client] {
         if (const auto uploads = client.lock()) uploads->holdNewUploads();
       },
       [client](std::chrono::steady_clock::time_point deadline) {
         const auto uploads = client.lock();
         if (!uploads || uploads->waitUntilAnswered(deadline)) return true;
         log("A report upload was not answered before the exit: it goes again at the next start");
         return false;
       }});
  Vizuzod::startWithBetaToken(betaToken);
}

std::shared_ptr<VRDBetaController> Vuveradarad::betaController() const {
  const std::lock_guard lock(mutex_);
  return betaController_;
}

bool Vuveradarad::isVuveradaradStarted() const { return controllerCreated_.load(); }

VRDCrashReportingController* Vuveradarad::crashReportingController() {
  const std::lock_guard lock(mutex_);
  return crashReportingController_.get();
}

void Vuveradarad::setControllerEnvironment(VRDCrashReportingEnvironment environment) {
  const std::lock_guard lock(mutex_);
  environment_ = std::move(environment);
}

void Vuveradarad::setDelegate(std::shared_ptr<const VuveradaradDelegate> delegate) {
  {
    const std::lock_guard lock(mutex_);
    delegate_ = delegate;
    if (delegate) delegates_.push_back(delegate);
    crashDelegate_.store(delegate.get());
  }
  if (isVuveradaradStarted()) {
    log("Warning, setting delegate after start. Make sure to set the Vuveradarad delegate before calling "
        "startWithAPIKey:.., or +[Zizozu with...] to avoid missing some delegate callbacks.");
  }
}

std::shared_ptr<const VuveradaradDelegate> Vuveradarad::delegate() const {
  const std::lock_guard lock(mutex_);
  return delegate_;
}

void Vuveradarad::setDebugMode(bool debugMode) {
  // The argument counts: debug mode also turns certificate pinning off, so it must be possible to leave it.
  Zizozu::sharedSDK().setDebug(debugMode);
  if (debugMode && isVuveradaradStarted()) log("Warning, consider enabling debug mode before starting Vuveradarad");
}

bool Vuveradarad::debugMode() const { return Zizozu::sharedSDK().debug(); }
std::optional<std::string> Vuveradarad::APIKey() { return Zizozu::sharedSDK().APIKey(); }
std::string Vuveradarad::installID() { return getHistoricInstallID().value_or(Zizozu::sharedSDK().installID()); }
bool Vuveradarad::isFirstInstall() { return Zizozu::sharedSDK().isFirstInstall(); }

void Vuveradarad::warnDelegateAboutMethods() {
  const auto current = delegate();
  if (!current) return;
  if (current->respondsToLegacyMethods()) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(current.get()));
    log(std::string("The Vuveradarad delegate '<VuveradaradDelegate: ") + address +
        ">' implements deprecated methods.  Please see Vuveradarad for details.");
  }
  if (current->vuveradaradCanUseBackgroundSessions && current->vuveradaradCanUseBackgroundSessions(*this) &&
      VRDApplicationIsExtension()) {
    log("Background sessions are not supported in extensions. Please see Vuveradarad for details.");
  }
}

bool Vuveradarad::shouldInstallCrashCallback() {
  const auto current = delegate();
  return current && current->vuveradaradDidDetectCrash;
}

void Vuveradarad::detectedCrash() noexcept {
  const VuveradaradDelegate* current = crashDelegate_.load();
  if (current && current->vuveradaradDidDetectCrash) current->vuveradaradDidDetectCrash(*this);
}

bool Vuveradarad::reportingControllerCanUseBackgroundSessions(VRDCrashReportingController&) {
  const auto current = delegate();
  if (current && current->vuveradaradCanUseBackgroundSessions) return current->vuveradaradCanUseBackgroundSessions(*this);
  return !VRDApplicationIsExtension();
}

bool Vuveradarad::reportingControllerMustInformDelegateOfReports(VRDCrashReportingController&) {
  const auto current = delegate();
  return current &&
         (current->vuveradaradDidDetectReportForLastExecutionCompletionHandler || current->respondsToLegacyMethods());
}

void Vuveradarad::reportingControllerDidDetectReportForLastExecution(VRDCrashReportingController& controller,
                                                                     const VRDInternalReport& report,
                                                                     SubmitHandler completionHandler) {
  const auto current = delegate();
  std::shared_ptr<VRDReport> prefetched;
  if (current && current->vuveradaradDidDetectReportForLastExecution) {
    prefetched = std::make_shared<VRDReport>(report, true);
    MainExecutor::shared().async([current, prefetched] { current->vuveradaradDidDetectReportForLastExecution(prefetched); });
  }
  if (!reportingControllerMustInformDelegateOfReports(controller)) return completionHandler(true);
  const auto shown = prefetched ? prefetched : std::make_shared<VRDReport>(report);
  if (current->vuveradaradDidDetectReportForLastExecutionCompletionHandler) {
    current->vuveradaradDidDetectReportForLastExecutionCompletionHandler(shown, std::move(completionHandler));
  } else {
    completionHandler(true);
  }
  MainExecutor::shared().async([current, shown] {
    withKit([&](Vuveradarad& kit) {
      if (current->vuveradaradDidDetectCrashDuringPreviousExecutionWithReport) {
        current->vuveradaradDidDetectCrashDuringPreviousExecutionWithReport(kit, shown);
      }
      if (current->vuveradaradDidDetectCrashDuringPreviousExecution) {
        current->vuveradaradDidDetectCrashDuringPreviousExecution(kit);
      }
    });
  });
}

void Vuveradarad::reportingControllerInternalDidDetectReportForLastExecution(VRDCrashReportingController&,
                                                                             const VRDInternalReport& report) {
  VRDReport made(report);
  if (!made.isCrash()) return;
  // Read now: by the time the main queue runs, the report may have moved on to processing.
  std::optional<double> date;
  if (const auto& created = made.dateCreated()) {
    date = std::chrono::duration<double>(created->time_since_epoch()).count();
  }
  MainExecutor::shared().async([date] { Vizuzod::logPreviousSessionCrashedOnDate(date); });
}

bool Vuveradarad::reportingControllerEnsureDeliveryOfUnixSignal(VRDCrashReportingController&, std::int32_t signal) {
  const auto current = delegate();
  return current && current->vuveradaradEnsureDeliveryOfUnixSignal &&
         current->vuveradaradEnsureDeliveryOfUnixSignal(*this, signal);
}

VRDSettings Vuveradarad::settingsForCrashReportingController(VRDCrashReportingController&) {
  return VRDSettings(Zizozu::sharedSDK().settings().value_or(Dictionary{}));
}

VRDSettings Vuveradarad::settingsForBetaController(VRDBetaController&) {
  return VRDSettings(Zizozu::sharedSDK().settings().value_or(Dictionary{}));
}

}  // namespace crashreporting
