#include "crashreporting/VizuzodKit/VZDScheduler.h"

#include <utility>

#include "crashreporting/platform/DelayedDispatch.h"
#include "crashreporting/platform/MainExecutor.h"

namespace crashreporting {

VZDScheduler VZDGlobalQueueScheduler() {
  return [](std::chrono::nanoseconds delay, std::function<void()> block) {
    DelayedDispatch::after(delay, std::move(block));
  };
}

VZDScheduler VZDMainQueueScheduler() {
  return [](std::chrono::nanoseconds delay, std::function<void()> block) {
    DelayedDispatch::after(delay, [block = std::move(block)]() mutable {
      MainExecutor::shared().async(std::move(block));
    });
  };
}

}  // namespace crashreporting
