#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "crashreporting/platform/ForkedChild.h"

namespace crashreporting {

class SerialQueue;

/// A repeating timer source on a serial queue: every `interval` it queues `task` (without waiting) on the
/// queue, until it goes. The stand-in for a dispatch timer source.
class RepeatingTimer {
 public:
  RepeatingTimer(std::chrono::milliseconds interval, SerialQueue& queue, std::function<void()> task);
  /// Stops the timer; a task already queued still runs on the queue. In a child forked without exec, which has
  /// no timer thread, it leaves the timer's state as it is.
  ~RepeatingTimer();
  RepeatingTimer(const RepeatingTimer&) = delete;
  RepeatingTimer& operator=(const RepeatingTimer&) = delete;

 private:
  struct State;

  const std::chrono::milliseconds interval_;
  SerialQueue& queue_;
  const std::function<void()> task_;
  // Shared with the thread, which keeps it alive where the thread is missing (a forked child).
  const std::shared_ptr<State> state_;
  const OwningProcess process_;
  std::thread worker_;
};

}  // namespace crashreporting
