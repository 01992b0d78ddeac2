#include "crashreporting/platform/DelayedDispatch.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "crashreporting/platform/ConcurrentQueue.h"

namespace crashreporting {
namespace {

using Clock = std::chrono::steady_clock;

class Deadlines {
 public:
  void add(std::chrono::nanoseconds delay, std::function<void()> task) {
    delay = std::clamp<std::chrono::nanoseconds>(delay, std::chrono::nanoseconds(0), DelayedDispatch::kMaxDelay);
    {
      const std::lock_guard lock(mutex_);
      due_.emplace(Clock::now() + delay, std::move(task));
      if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
    }
    changed_.notify_one();
  }

 private:
  [[noreturn]] void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (due_.empty()) {
        changed_.wait(lock);
        continue;
      }
      const auto first = due_.begin();
      if (first->first > Clock::now()) {
        changed_.wait_until(lock, first->first);
        continue;
      }
      auto task = std::move(first->second);
      due_.erase(first);
      lock.unlock();
      ConcurrentQueue::global().async(std::move(task));
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::multimap<Clock::time_point, std::function<void()>> due_;  // equal deadlines keep their order
  std::thread worker_;
};

Deadlines& deadlines() {
  // Never destroyed, like the global queue it feeds: timers may be pending while the process exits.
  alignas(Deadlines) static unsigned char storage[sizeof(Deadlines)];
  static Deadlines* const instance = ::new (storage) Deadlines();
  return *instance;
}

}  // namespace

void DelayedDispatch::after(std::chrono::nanoseconds delay, std::function<void()> task) {
  deadlines().add(delay, std::move(task));
}

}  // namespace crashreporting
