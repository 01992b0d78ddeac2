#pragma once

#include <condition_variable>
#include <mutex>

namespace tilvane::dispatch {

/// A counting semaphore for hand-offs between real threads. Never wait on the main thread for work that only
/// the main thread can do: queue steps are main-loop tasks instead (see OperationQueue).
class Semaphore {
 public:
  explicit Semaphore(long value = 0) : value_(value) {}
  void signal();
  void wait();
  /// Waits at most `seconds` (real time); false when it timed out.
  bool waitFor(double seconds);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  long value_;
};

}  // namespace tilvane::dispatch
