#pragma once

#include <chrono>
#include <functional>

namespace crashreporting {

/// Runs a task on the global concurrent queue once a delay has passed: the stand-in for a dispatch timer on a
/// global queue. One thread of its own keeps the deadlines (steady clock); it lives until the process ends.
class DelayedDispatch {
 public:
  /// The longest delay taken; a longer one waits this long (no deadline overflows the clock).
  static constexpr std::chrono::hours kMaxDelay{24 * 365};

  /// Runs `task` after `delay` (none or negative: at once) on ConcurrentQueue::global().
  static void after(std::chrono::nanoseconds delay, std::function<void()> task);
};

}  // namespace crashreporting
