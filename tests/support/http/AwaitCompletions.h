#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/dispatch/VirtualMainLoop.h"
#include "platform/net/HttpClient.h"

namespace tilvane::test {

/// The executor of an HttpClient under test: completions go to the test's virtual main loop, and the test
/// waits (in real time, for a real server) until the work it expects has arrived and run there.
class AwaitCompletions {
 public:
  explicit AwaitCompletions(dispatch::VirtualMainLoop& loop) : loop_(loop) {}

  net::HttpClient::Executor executor() {
    return [this](std::function<void()> task) {
      loop_.async(std::move(task));
      {
        const std::lock_guard lock(mutex_);
        ++posted_;
      }
      arrived_.notify_all();
    };
  }

  /// Runs the loop's due work whenever some arrives, until `done()` holds or `seconds` of real time passed.
  bool runUntil(const std::function<bool()>& done, double seconds = 20.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      std::size_t seen = 0;
      {
        const std::lock_guard lock(mutex_);
        seen = posted_;
      }
      loop_.drain();
      if (done()) return true;
      std::unique_lock lock(mutex_);
      if (!arrived_.wait_until(lock, deadline, [&] { return posted_ != seen; })) {
        lock.unlock();
        loop_.drain();
        return done();
      }
    }
  }

 private:
  dispatch::VirtualMainLoop& loop_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::size_t posted_ = 0;
};

}  // namespace tilvane::test
