#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "crashreporting/VizuzodKit/VZDScheduler.h"

namespace crashreporting::test {

/// A virtual clock for the kit's timers: a scheduled block waits until the test moves the clock past its due
/// time, and then runs on the test's thread. Blocks may be scheduled from any thread.
class VirtualScheduler {
 public:
  VZDScheduler scheduler() {
    return [this](std::chrono::nanoseconds delay, std::function<void()> block) {
      {
        const std::lock_guard lock(mutex_);
        pending_.emplace(std::make_pair(now_ + delay.count(), next_++), std::move(block));
        delays_.push_back(static_cast<double>(delay.count()) / 1e9);
      }
      changed_.notify_all();
    };
  }

  /// Waits (real time, for work on other threads) until `count` blocks were scheduled in all.
  bool waitForScheduled(std::size_t count, double seconds = 20.0) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return delays_.size() >= count; });
  }
  /// Moves the clock to the earliest pending block and runs it; false when none is pending.
  bool runNext() {
    std::function<void()> block;
    {
      const std::lock_guard lock(mutex_);
      if (pending_.empty()) return false;
      const auto first = pending_.begin();
      now_ = std::max(now_, first->first.first);
      block = std::move(first->second);
      pending_.erase(first);
    }
    block();
    return true;
  }
  /// Moves the clock on by `seconds`, running what falls due in order; answers how many ran.
  std::size_t advance(double seconds) {
    std::int64_t end = 0;
    {
      const std::lock_guard lock(mutex_);
      end = now_ + static_cast<std::int64_t>(seconds * 1e9);
    }
    std::size_t ran = 0;
    for (;;) {
      std::function<void()> block;
      {
        const std::lock_guard lock(mutex_);
        if (pending_.empty() || pending_.begin()->first.first > end) {
          now_ = end;
          return ran;
        }
        now_ = pending_.begin()->first.first;
        block = std::move(pending_.begin()->second);
        pending_.erase(pending_.begin());
      }
      block();
      ++ran;
    }
  }

  /// Every delay asked for so far, in seconds, in order.
  std::vector<double> delays() const {
    const std::lock_guard lock(mutex_);
    return delays_;
  }
  std::size_t pendingCount() const {
    const std::lock_guard lock(mutex_);
    return pending_.size();
  }
  double now() const {
    const std::lock_guard lock(mutex_);
    return static_cast<double>(now_) / 1e9;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t now_ = 0;  // nanoseconds
  std::uint64_t next_ = 0;
  std::map<std::pair<std::int64_t, std::uint64_t>, std::function<void()>> pending_;
  std::vector<double> delays_;
};

}  // namespace crashreporting::test
