#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/Reports/VRDSettings.h"

// What the crash-reporting controller asks of the crash kit object: identities, settings, and the decisions about
// reports of earlier runs. Every operation is required.

namespace crashreporting {

class VRDCrashReportingController;

class VRDCrashReportingControllerDelegate {
 public:
  using SubmitHandler = std::function<void(bool submit)>;

  virtual ~VRDCrashReportingControllerDelegate() = default;

  /// Whether the synchronous crash callback is armed.
  virtual bool shouldInstallCrashCallback() = 0;
  /// At crash time, on the crashed thread: nothing that is unsafe inside a signal handler.
  virtual void detectedCrash() noexcept = 0;
  virtual bool reportingControllerCanUseBackgroundSessions(VRDCrashReportingController& controller) = 0;
  /// Whether the application decides about earlier reports itself.
  virtual bool reportingControllerMustInformDelegateOfReports(VRDCrashReportingController& controller) = 0;
  /// The per-report decision; `completionHandler` must be called once with the answer.
  virtual void reportingControllerDidDetectReportForLastExecution(VRDCrashReportingController& controller,
                                                                  const VRDInternalReport& report,
                                                                  SubmitHandler completionHandler) = 0;
  /// A submittable report of an earlier run exists.
  virtual void reportingControllerInternalDidDetectReportForLastExecution(VRDCrashReportingController& controller,
                                                                          const VRDInternalReport& report) = 0;
  /// Whether `signal` must reach the signal path.
  virtual bool reportingControllerEnsureDeliveryOfUnixSignal(VRDCrashReportingController& controller,
                                                             std::int32_t signal) = 0;
  virtual std::optional<std::string> APIKeyForCrashReportingController(VRDCrashReportingController& controller) = 0;
  virtual std::string installIDForCrashReportingController(VRDCrashReportingController& controller) = 0;
  virtual bool isFirstInstallForCrashReportingController(VRDCrashReportingController& controller) = 0;
  virtual VRDSettings settingsForCrashReportingController(VRDCrashReportingController& controller) = 0;
};

}  // namespace crashreporting
