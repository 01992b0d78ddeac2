#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace crashreporting {

class SerialQueue;

/// A repeating timer source on a serial queue: every `interval` it queues `task` (without waiting) on the
/// queue, until it goes. The stand-in for a dispatch timer source.
class RepeatingTimer {
 public:
  RepeatingTimer(std::chrono::milliseconds interval, SerialQueue& queue, std::function<void()> task);
  /// Stops the timer; a task already queued still runs on the queue.
  ~RepeatingTimer();
  RepeatingTimer(const RepeatingTimer&) = delete;
  RepeatingTimer& operator=(const RepeatingTimer&) = delete;

 private:
  void run();

  const std::chrono::milliseconds interval_;
  SerialQueue& queue_;
  const std::function<void()> task_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace crashreporting
