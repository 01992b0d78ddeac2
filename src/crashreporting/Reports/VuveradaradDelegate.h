#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "crashreporting/Reports/VRDReport.h"

// The application's delegate of the crash kit. Every operation is optional: one left empty is one the delegate
// does not implement, and the kit then behaves as for a delegate without it.

namespace crashreporting {

class Vuveradarad;

struct VuveradaradDelegate {
  /// The decision about each submittable report of an earlier run; the application must call the handler once
  /// (true: submit). Called on the thread that started the kit.
  std::function<void(const std::shared_ptr<VRDReport>& report, std::function<void(bool submit)> completionHandler)>
      vuveradaradDidDetectReportForLastExecutionCompletionHandler;
  /// The same event, information only, with the report's values read ahead; on the main queue.
  std::function<void(const std::shared_ptr<VRDReport>& report)> vuveradaradDidDetectReportForLastExecution;
  /// Deprecated (the legacy methods); on the main queue, right after the decision was asked for.
  std::function<void(Vuveradarad& kit, const std::shared_ptr<VRDReport>& report)>
      vuveradaradDidDetectCrashDuringPreviousExecutionWithReport;
  std::function<void(Vuveradarad& kit)> vuveradaradDidDetectCrashDuringPreviousExecution;
  /// Whether uploads may use a background session.
  std::function<bool(Vuveradarad& kit)> vuveradaradCanUseBackgroundSessions;
  /// Synchronously at crash time, inside the crash handler: only what is safe there.
  std::function<void(Vuveradarad& kit)> vuveradaradDidDetectCrash;
  /// Per crash signal, at start: true leaves the signal's exception kind unclaimed so the signal is delivered.
  std::function<bool(Vuveradarad& kit, std::int32_t signal)> vuveradaradEnsureDeliveryOfUnixSignal;

  bool respondsToLegacyMethods() const {
    return vuveradaradDidDetectCrashDuringPreviousExecutionWithReport ||
           vuveradaradDidDetectCrashDuringPreviousExecution;
  }
};

}  // namespace crashreporting
