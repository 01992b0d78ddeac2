#include "crashreporting/VizuzodKit/Vizuzod.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

#include <unistd.h>

#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/VizuzodKit/VZDVizuzodController.h"
#include "crashreporting/platform/ForkedChild.h"
#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {
namespace {

// A linked-in kit is findable by its class name, as a class of a loaded framework would be.
[[maybe_unused]] const bool registeredAtLoad = (Vizuzod::registerClass(), true);

}  // namespace

Vizuzod& Vizuzod::sharedInstance() { return Shared<Vizuzod>::get(); }

const KitClass& Vizuzod::classObject() {
  static const KitClass vizuzod{
      .name = "Vizuzod",
      .adoptsREDAza = true,
      .bundleIdentifier = [] { return bundleIdentifier(); },
      .kitDisplayVersion = [] { return kitDisplayVersion(); },
      .kitBuildVersion = [] { return kitBuildVersion(); },
      .initializeIfNeeded = [] { initializeIfNeeded(); },
  };
  return vizuzod;
}

void Vizuzod::registerClass() { KitClassRegistry::registerClass(classObject()); }

std::string Vizuzod::bundleIdentifier() { return "com.zizozu.vizuzod.mac"; }

void Vizuzod::initializeIfNeeded() {
  const KitClass* crash = KitClassRegistry::classNamed("Vuveradarad");
  if (crash && crash->adoptsREDAza && crash->initializeIfNeeded) {
    crash->initializeIfNeeded();  // the crash kit starts analytics itself
    return;
  }
  startWithBetaToken(std::nullopt);
}

void Vizuzod::startWithBetaToken(std::optional<std::string> betaToken) {
  sharedInstance().start(std::move(betaToken));
}

void Vizuzod::start(std::optional<std::string> betaToken) {
  std::call_once(started_, [&] {
    startedIn_.store(::getpid());
    VZDLogger::sharedLogger().setDebugMode(Zizozu::sharedSDK().debug());
    VZDLogger::sharedLogger().log("Initialized");
    setVizuzodController(VZDVizuzodController::initWithBetaToken(std::move(betaToken)));
    ExitWait::shared().add({[] {
                              if (const auto controller = exitingController()) controller->stopForExit();
                            },
                            [](std::chrono::steady_clock::time_point deadline) {
                              const auto controller = exitingController();
                              return !controller || controller->finishAtExit(deadline);
                            }});
  });
}

bool Vizuzod::inForkedChild() const {
  const pid_t started = startedIn_.load();
  return started != 0 && started != ::getpid();
}

std::shared_ptr<VZDVizuzodController> Vizuzod::controllerForEvents() {
  // Never makes the shared instance: before the kit started there is nothing to hand an event to.
  if (!Shared<Vizuzod>::exists()) return nullptr;
  if (sharedInstance().inForkedChild()) {
    sayNothingIsRecordedInForkedChild();
    return nullptr;
  }
  return sharedInstance().vizuzodController();
}

bool Vizuzod::flush(double seconds) {
  // A forked child has no event queue thread to wait for (this runs there at exit too).
  if (!Shared<Vizuzod>::exists() || sharedInstance().inForkedChild()) return true;
  const auto controller = sharedInstance().vizuzodController();
  if (!controller) return true;
  const auto bound = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(std::isfinite(seconds) && seconds > 0 ? std::min(seconds, 3600.0) : 0.0));
  return controller->waitForQueuedWork(bound);
}

std::shared_ptr<VZDVizuzodController> Vizuzod::exitingController() {
  // A forked child has no event queue thread to wait for.
  if (!Shared<Vizuzod>::exists() || sharedInstance().inForkedChild()) return nullptr;
  return sharedInstance().vizuzodController();
}

std::shared_ptr<VZDVizuzodController> Vizuzod::vizuzodController() const {
  const std::lock_guard lock(mutex_);
  return vizuzodController_;
}

void Vizuzod::setVizuzodController(std::shared_ptr<VZDVizuzodController> controller) {
  const std::lock_guard lock(mutex_);
  vizuzodController_ = std::move(controller);
}

void Vizuzod::logEvent(std::shared_ptr<const VZDEvent> event) {
  if (const auto controller = controllerForEvents()) controller->logEvent(std::move(event));
}

void Vizuzod::logSignUpWithMethod(Text method, std::optional<bool> success, Attrs custom) {
  logEvent(VZDPredefinedEvent::signUpEventWithMethod(std::move(method), success, std::move(custom)));
}

void Vizuzod::logLoginWithMethod(Text method, std::optional<bool> success, Attrs custom) {
  logEvent(VZDPredefinedEvent::loginEventWithMethod(std::move(method), success, std::move(custom)));
}

void Vizuzod::logShareWithMethod(Text method, Text contentName, Text contentType, Text contentId, Attrs custom) {
  logEvent(VZDPredefinedEvent::shareEventWithMethod(std::move(method), std::move(contentName), std::move(contentType),
                                     std::move(contentId), std::move(custom)));
}

void Vizuzod::logInviteWithMethod(Text method, Attrs custom) {
  logEvent(VZDPredefinedEvent::inviteEventWithMethod(std::move(method), std::move(custom)));
}

void Vizuzod::logPurchaseWithPrice(std::optional<double> price, Text currency, std::optional<bool> success,
                                   Text itemName, Text itemType, Text itemId, Attrs custom) {
  logEvent(VZDPredefinedEvent::purchaseEventWithPrice(price, std::move(currency), success, std::move(itemName),
                                        std::move(itemType), std::move(itemId), std::move(custom)));
}

void Vizuzod::logLevelStart(Text levelName, Attrs custom) {
  logEvent(VZDPredefinedEvent::levelStartEventWithLevelName(std::move(levelName), std::move(custom)));
}

void Vizuzod::logLevelEnd(Text levelName, std::optional<Value> score, std::optional<bool> success, Attrs custom) {
  logEvent(VZDPredefinedEvent::levelEndEventWithLevelName(std::move(levelName), std::move(score), success, std::move(custom)));
}

void Vizuzod::logAddToCartWithPrice(std::optional<double> price, Text currency, Text itemName, Text itemType,
                                    Text itemId, Attrs custom) {
  logEvent(VZDPredefinedEvent::addToCartEventWithPrice(price, std::move(currency), std::move(itemName), std::move(itemType),
                                         std::move(itemId), std::move(custom)));
}

void Vizuzod::logStartCheckoutWithPrice(std::optional<double> totalPrice, Text currency,
                                        std::optional<Value> itemCount, Attrs custom) {
  logEvent(VZDPredefinedEvent::startCheckoutEventWithPrice(totalPrice, std::move(currency), std::move(itemCount),
                                             std::move(custom)));
}

void Vizuzod::logRating(std::optional<Value> rating, Text contentName, Text contentType, Text contentId,
                        Attrs custom) {
  logEvent(VZDPredefinedEvent::ratingEventWithRating(std::move(rating), std::move(contentName), std::move(contentType),
                                      std::move(contentId), std::move(custom)));
}

void Vizuzod::logContentViewWithName(Text contentName, Text contentType, Text contentId, Attrs custom) {
  logEvent(VZDPredefinedEvent::contentViewEventWithName(std::move(contentName), std::move(contentType), std::move(contentId),
                                           std::move(custom)));
}

void Vizuzod::logSearchWithQuery(Text query, Attrs custom) {
  logEvent(VZDPredefinedEvent::searchEventWithQuery(std::move(query), std::move(custom)));
}

void Vizuzod::logCustomEventWithName(Text name, Attrs custom) {
  if (!name) return;
  logEvent(std::make_shared<VZDCustomEvent>(std::move(*name), std::move(custom)));
}

void Vizuzod::logPreviousSessionCrashedOnDate(std::optional<double> date) {
  if (!date) return;
  if (const auto controller = controllerForEvents())
    controller->logCrashEvent(std::make_shared<VZDCrashEvent>(*date, 0));
}

}  // namespace crashreporting
