#include "platform/dispatch/Semaphore.h"

#include <chrono>
#include <cmath>

namespace tilvane::dispatch {

void Semaphore::signal() {
  {
    std::lock_guard lock(mutex_);
    ++value_;
  }
  cv_.notify_one();
}

void Semaphore::wait() {
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [this] { return value_ > 0; });
  --value_;
}

bool Semaphore::waitFor(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  std::unique_lock lock(mutex_);
  if (!cv_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return value_ > 0; })) return false;
  --value_;
  return true;
}

}  // namespace tilvane::dispatch
