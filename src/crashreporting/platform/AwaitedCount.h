#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace crashreporting {

/// How many started things (uploads on their way) are still awaited; from any thread, one can wait until none is.
class AwaitedCount {
 public:
  void started() {
    const std::lock_guard lock(mutex_);
    ++count_;
  }
  void ended() {
    const std::lock_guard lock(mutex_);
    if (count_ > 0 && --count_ == 0) changed_.notify_all();
  }
  /// Whether none was awaited any more by `deadline`.
  bool waitUntilNone(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [&] { return count_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

}  // namespace crashreporting
