#pragma once

#include <chrono>
#include <functional>

namespace crashreporting {

/// Runs a block once a delay has passed. The kit's timers take one so that tests can run them on a virtual
/// clock; the defaults wait on the library's own timer thread.
using VZDScheduler = std::function<void(std::chrono::nanoseconds delay, std::function<void()> block)>;

/// After the delay, on the global concurrent queue.
VZDScheduler VZDGlobalQueueScheduler();
/// After the delay, on the library's main queue.
VZDScheduler VZDMainQueueScheduler();

}  // namespace crashreporting
