#include "crashreporting/Reports/VRDBetaController.h"

#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/ZIZCertificatePinner.h"
#include "crashreporting/Kit/ZIZSettingsOnboardingManager.h"
#include "crashreporting/Kit/ZIZURLBuilder.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDApplication.h"
#include "crashreporting/Reports/VRDKitConstants.h"
#include "crashreporting/Reports/VRDRequest.h"
#include "crashreporting/platform/DelayedDispatch.h"
#include "crashreporting/platform/Json.h"
#include "crashreporting/platform/MainExecutor.h"
#include "crashreporting/platform/NotificationCenter.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

constexpr std::uint64_t kRetryLimit = 10;
constexpr double kTimeout = 10.0;

void log(const std::string& text) {
  if (ZIZIsDebugEnabled()) SystemLog::write("[Vuveradarad:Beta] " + text);
}

}  // namespace

std::shared_ptr<VRDBetaController> VRDBetaController::create(VRDBetaControllerDelegate& delegate,
                                                             TokenSource tokenSource) {
  return std::shared_ptr<VRDBetaController>(new VRDBetaController(delegate, std::move(tokenSource)));
}

VRDBetaController::VRDBetaController(VRDBetaControllerDelegate& delegate, TokenSource tokenSource)
    : delegate_(delegate),
      tokenSource_(std::move(tokenSource)),
      queue_(kVRDBetaQueueLabel),
      networkClient_(ZIZNetworkClient::create(nullptr, pinnnedCertificates())) {
  if (!networkClient_ && ZIZIsDebugEnabled()) SystemLog::write("[Zivovuvezu:Beta] Failed to configure networking");
}

VRDBetaController::~VRDBetaController() {
  if (observer_) NotificationCenter::defaultCenter().removeObserver(*observer_);
}

bool VRDBetaController::isBetaSupported() {
  return !VRDApplicationIsExtension() && ZIZApplicationGetInstallSource() == 3;
}

const std::vector<Certificate>& VRDBetaController::pinnnedCertificates() { return ZIZPinnedCertificates(); }

std::optional<std::string> VRDBetaController::betaToken() {
  const std::lock_guard lock(mutex_);
  if (!betaToken_ && tokenSource_) betaToken_ = tokenSource_();
  return betaToken_;
}

bool VRDBetaController::start() {
  if (!betaToken()) return false;
  const std::weak_ptr<VRDBetaController> weak = weak_from_this();
  observer_ = NotificationCenter::defaultCenter().addObserver(ZIZSettingsAvailableNotification, [weak](auto) {
    if (const auto self = weak.lock()) self->zizozuSettingsDownloaded();
  });
  return true;
}

void VRDBetaController::setScheduler(Scheduler scheduler) {
  const std::lock_guard lock(mutex_);
  scheduler_ = std::move(scheduler);
}

std::optional<std::string> VRDBetaController::appBundleIdentifier() { return ZIZApplicationGetBundleIdentifier(); }
std::optional<std::string> VRDBetaController::appBuildVersion() { return ZIZApplicationGetBuildVersion(); }
std::optional<std::string> VRDBetaController::appDisplayVersion() { return ZIZApplicationGetDisplayVersion(); }
std::optional<std::string> VRDBetaController::appInstanceIdentifier() {
  return Zizozu::sharedSDK().instanceIdentifier();
}
int VRDBetaController::appInstallationSource() { return ZIZApplicationGetInstallSource(); }

std::optional<std::string> VRDBetaController::betaUpdateURL() {
  ZIZURLBuilder builder = ZIZURLBuilder::URLWithBase(betaEndpoint());
  builder.appendComponent("/spi/v2/platforms/");
  builder.appendComponent("mac");
  builder.appendComponent("/apps/");
  builder.appendComponent(appBundleIdentifier().value_or(""));
  builder.appendComponent("/beta_update_check");
  const auto text = [](const std::optional<std::string>& value) -> std::optional<Value> {
    return value ? std::optional<Value>(Value(*value)) : std::nullopt;
  };
  builder.appendValue(text(appBuildVersion()), "build_version");
  builder.appendValue(text(appDisplayVersion()), "display_version");
  builder.appendValue(text(appInstanceIdentifier()), "instance");
  builder.appendValue(Value(appInstallationSource()), "source");
  return builder.URL();
}

void VRDBetaController::zizozuSettingsDownloaded() { checkForUpdate(); }

void VRDBetaController::applicationWillEnterForeground() { checkForUpdate(); }

void VRDBetaController::checkForUpdate() {
  const std::weak_ptr<VRDBetaController> weak = weak_from_this();
  maybeGetUpdate([weak](std::optional<VRDBetaUpdate> update, std::optional<Error>) {
    if (const auto self = weak.lock()) self->didGetUpdate(update);
  });
}

bool VRDBetaController::shouldGetUpdates() { return isBetaSupported() && !checksSuspended_; }

void VRDBetaController::maybeGetUpdate(UpdateBlock completion) {
  queue_.async([self = shared_from_this(), completion = std::move(completion)] {
    if (!self->shouldGetUpdates() || self->retrying_) return;
    log("Loading beta update");
    self->loadUpdateWithCompletionBlock(completion);
  });
}

void VRDBetaController::loadUpdateWithCompletionBlock(UpdateBlock completion) {
  const auto url = betaUpdateURL();
  if (!url || !networkClient_) {
    log("Failed to load update '" + std::string(url ? "no network client" : "no beta update URL") + "'");
    return;
  }
  log("Beta Update-Check url string: '" + *url + "'");
  URLRequest request = VRDMutableRequestWithURL(*url, kTimeout, APIKey().value_or(""));
  request.setValue(betaToken().value_or(""), "X-Vuveradarad-Beta-Token");
  queue_.async([self = shared_from_this(), request, completion = std::move(completion)] {
    if (self->retrying_) return;
    self->retrying_ = true;
    const std::weak_ptr<VRDBetaController> weak = self;
    self->networkClient_->startDataTaskWithRequest(
        request, kRetryLimit, [weak, completion](std::optional<Data> data, auto, std::optional<Error> error) {
          if (const auto alive = weak.lock()) alive->handledCompletedBetaRequestWithData(data, error, completion);
        });
  });
}

void VRDBetaController::handledCompletedBetaRequestWithData(const std::optional<Data>& data,
                                                            const std::optional<Error>& error,
                                                            UpdateBlock completion) {
  if (error || !data || data->empty()) {
    // The request stays marked as under way: no later check runs in this process.
    log("Failed to load update '" + (error ? error->description() : std::string("(null)")) + "'");
    return;
  }
  queue_.async([self = shared_from_this(), bytes = *data, completion = std::move(completion)] {
    log("Beta update loaded");
    self->temporarilySuspendChecks();
    self->retrying_ = false;
    std::optional<Error> parseError;
    auto update = updateWithData(bytes, parseError);
    if (completion) completion(std::move(update), std::move(parseError));
  });
}

std::optional<VRDBetaUpdate> VRDBetaController::updateWithData(const Data& data, std::optional<Error>& error) {
  std::string reason;
  const auto value = json::decode(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), reason);
  if (!value) {
    error = Error{"NSCocoaErrorDomain", 3840, {{kLocalizedDescriptionKey, Value(reason)}}, {}};
    log("Unable to deserialize beta update data: " + error->description());
    return std::nullopt;
  }
  auto update = VRDBetaUpdate::betaUpdateWithDictionary(*value, error);
  if (!update) log("Unable to read beta update data: " + error->description());
  return update;
}

void VRDBetaController::temporarilySuspendChecks() {
  MainExecutor::shared().async([self = shared_from_this()] {
    const double seconds = self->betaUpdateSuspendDurationSecs();
    Scheduler scheduler;
    std::uint64_t suspension = 0;
    {
      const std::lock_guard lock(self->mutex_);
      scheduler = self->scheduler_;
      suspension = ++self->suspension_;
    }
    self->checksSuspended_ = true;
    const auto delay = std::chrono::nanoseconds(
        static_cast<std::int64_t>(std::min(std::max(seconds, 0.0), 365 * 24 * 3600.0) * 1e9));
    const std::weak_ptr<VRDBetaController> weak = self;
    auto fire = [weak, suspension] {
      const auto alive = weak.lock();
      if (!alive) return;
      {
        const std::lock_guard lock(alive->mutex_);
        if (alive->suspension_ != suspension) return;  // lifted meanwhile: this timer was invalidated
      }
      alive->allowChecks();
    };
    if (scheduler) {
      scheduler(delay, std::move(fire));
    } else {
      DelayedDispatch::after(delay, [fire = std::move(fire)] { MainExecutor::shared().async(fire); });
    }
  });
}

void VRDBetaController::allowChecks() {
  {
    const std::lock_guard lock(mutex_);
    ++suspension_;  // invalidates the timer
  }
  checksSuspended_ = false;
}

void VRDBetaController::didGetUpdate(const std::optional<VRDBetaUpdate>& update) {
  if (!update || update->url().empty()) {
    log("Beta update url is invalid");
    return;
  }
  MainExecutor::shared().async([self = shared_from_this(), update = *update] { self->showBetaAlertForUpdate(update); });
}

void VRDBetaController::showBetaAlertForUpdate(const VRDBetaUpdate& update) {
  const std::lock_guard lock(mutex_);
  activeUpdate_ = update;
}

std::optional<VRDBetaUpdate> VRDBetaController::activeUpdate() const {
  const std::lock_guard lock(mutex_);
  return activeUpdate_;
}

}  // namespace crashreporting
