#pragma once

#include <functional>
#include <memory>
#include <string>

#include "crashreporting/VizuzodKit/VZDScheduler.h"
#include "crashreporting/platform/OperationQueue.h"

namespace crashreporting {

/// A repeating timer whose block runs on an operation queue (the analytics event queue): every interval it
/// adds the block to the queue. Linux has no background activity scheduler, so it is always the dispatch-timer
/// kind: first firing one interval after it is made, then every interval. Releasing it stops it.
class VZDTimer {
 public:
  /// The longest interval taken (a year); a longer one is cut to it.
  static constexpr double kMaximumInterval = 365 * 24 * 3600.0;

  /// Schedules at once. An interval that is not a positive number schedules nothing. The scheduler runs the
  /// timer's ticks (by default on the global queue; tests: a virtual clock).
  VZDTimer(double timeInterval, std::shared_ptr<OperationQueue> queue, std::string timerIdentifier,
           std::function<void()> block, VZDScheduler scheduler = {});
  ~VZDTimer();
  VZDTimer(const VZDTimer&) = delete;
  VZDTimer& operator=(const VZDTimer&) = delete;

  const std::string& timerIdentifier() const { return timerIdentifier_; }
  double timeInterval() const { return timeInterval_; }
  /// The leeway the timer may fire late by: a tenth of the interval.
  double tolerance() const { return timeInterval_ / 10; }

  /// Starts the timer afresh (a running one is replaced).
  void scheduleTimer();
  void scheduleDispatchTimer();
  /// Adds the block to the queue.
  void executeBlock();

 private:
  struct Source;
  static void arm(const std::shared_ptr<Source>& source);

  const std::string timerIdentifier_;
  const double timeInterval_;
  const std::function<void()> timerBlock_;
  const std::shared_ptr<OperationQueue> queue_;
  const VZDScheduler scheduler_;
  /// The running tick chain; its ticks hold it weakly, so it ends when this lets go.
  std::shared_ptr<Source> timerSource_;
};

}  // namespace crashreporting
