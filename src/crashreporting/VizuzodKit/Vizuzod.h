#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "crashreporting/Kit/KitClass.h"
#include "crashreporting/VizuzodKit/VZDEvent.h"
#include "crashreporting/platform/ExitWait.h"
#include "crashreporting/platform/Value.h"

namespace crashreporting {

class VZDVizuzodController;

/// The analytics kit's public face. The kit framework starts it (it is found under the class name "Vizuzod"
/// once registered); the application records events with its class functions, from any thread. Each call
/// builds the event on the caller's thread and hands it to the kit's one controller, which writes it later on
/// its own queue. Before the kit has started every call does nothing. In a child forked without exec from the
/// process that started it (which has none of its threads) events are not recorded, said once in the child.
class Vizuzod final : public KitObject {
 public:
  using Attrs = std::optional<Dictionary>;
  using Text = std::optional<std::string>;

  /// The one instance (reset with the library's other single instances).
  static Vizuzod& sharedInstance();
  /// The kit class the framework looks up by name.
  static const KitClass& classObject();
  /// Makes the class findable as "Vizuzod" (done when the kit is linked in; again after a registry reset).
  static void registerClass();
  static std::string bundleIdentifier();
  static std::string kitDisplayVersion() { return "1.3.6"; }
  static std::string kitBuildVersion() { return "29"; }
  /// Lets the crash kit start analytics when it is present; otherwise starts it here.
  static void initializeIfNeeded();
  static void startWithBetaToken(std::optional<std::string> betaToken);

  /// Once per process (later calls do nothing): logging mode from the kit framework, then the controller.
  void start(std::optional<std::string> betaToken);
  std::shared_ptr<VZDVizuzodController> vizuzodController() const;
  void setVizuzodController(std::shared_ptr<VZDVizuzodController> controller);
  const KitClass& kitClass() const override { return classObject(); }

  // The application's events.
  static void logSignUpWithMethod(Text method, std::optional<bool> success, Attrs customAttributes);
  static void logLoginWithMethod(Text method, std::optional<bool> success, Attrs customAttributes);
  static void logShareWithMethod(Text method, Text contentName, Text contentType, Text contentId,
                                 Attrs customAttributes);
  static void logInviteWithMethod(Text method, Attrs customAttributes);
  static void logPurchaseWithPrice(std::optional<double> price, Text currency, std::optional<bool> success,
                                   Text itemName, Text itemType, Text itemId, Attrs customAttributes);
  static void logLevelStart(Text levelName, Attrs customAttributes);
  static void logLevelEnd(Text levelName, std::optional<Value> score, std::optional<bool> success,
                          Attrs customAttributes);
  static void logAddToCartWithPrice(std::optional<double> price, Text currency, Text itemName, Text itemType,
                                    Text itemId, Attrs customAttributes);
  static void logStartCheckoutWithPrice(std::optional<double> totalPrice, Text currency,
                                        std::optional<Value> itemCount, Attrs customAttributes);
  static void logRating(std::optional<Value> rating, Text contentName, Text contentType, Text contentId,
                        Attrs customAttributes);
  static void logContentViewWithName(Text contentName, Text contentType, Text contentId, Attrs customAttributes);
  static void logSearchWithQuery(Text query, Attrs customAttributes);
  /// An event without a name is dropped (its payload would lack "custom_type").
  static void logCustomEventWithName(Text name, Attrs customAttributes);
  /// The crash of the previous run, at `date` (seconds since 1970); nothing without a date.
  static void logPreviousSessionCrashedOnDate(std::optional<double> date);

  /// Waits until every event logged before the call is on disk (and the rotation and packaging it started are
  /// done), at most `seconds`; whether everything was. Not from the kit's own queue: it would wait its whole
  /// bound. In a forked child it waits for nothing: nothing was recorded there.
  static bool flush(double seconds = kFlushSeconds);
  static constexpr double kFlushSeconds = 5.0;
  /// When the process exits normally (returning from main, or exit()) a started kit waits at most this long: for
  /// the events logged before to be on disk, and for the uploads on their way to be answered, so that the last
  /// events of a run are neither lost nor sent twice. Nothing new is packaged or sent meanwhile: that waits for
  /// the next start.
  static constexpr double kExitSeconds = ExitWait::kSeconds;

 private:
  static void logEvent(std::shared_ptr<const VZDEvent> event);
  /// The controller the exit finishes: none before the start and in a forked child.
  static std::shared_ptr<VZDVizuzodController> exitingController();
  /// The controller of a started kit; none before the start, and none (said once) in a forked child.
  static std::shared_ptr<VZDVizuzodController> controllerForEvents();
  bool inForkedChild() const;

  std::once_flag started_;
  std::atomic<pid_t> startedIn_{0};  // the process that started the kit
  mutable std::mutex mutex_;  // guards the controller
  std::shared_ptr<VZDVizuzodController> vizuzodController_;
};

}  // namespace crashreporting
