#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace crashreporting::test {

/// Counts events that arrive on other threads; a test waits (real time, for a real server) until enough came.
class Awaiter {
 public:
  void notify() {
    // Under the lock: a waiter that sees the count may return and destroy this before an unlocked notify ends.
    const std::lock_guard lock(mutex_);
    ++count_;
    changed_.notify_all();
  }
  bool waitFor(int count, double seconds = 20.0) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return count_ >= count; });
  }
  int count() {
    const std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

/// Polls `done` until it holds or `seconds` of real time passed.
inline bool eventually(const std::function<bool()>& done, double seconds = 20.0) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace crashreporting::test
