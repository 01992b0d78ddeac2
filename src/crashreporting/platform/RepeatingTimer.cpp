#include "crashreporting/platform/RepeatingTimer.h"

#include <condition_variable>
#include <mutex>

#include "crashreporting/platform/SerialQueue.h"

namespace crashreporting {

struct RepeatingTimer::State {
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  /// The handle of a thread that a child forked without exec does not have: never joined nor destroyed there.
  std::thread absent;
};

RepeatingTimer::RepeatingTimer(std::chrono::milliseconds interval, SerialQueue& queue, std::function<void()> task)
    : interval_(interval), queue_(queue), task_(std::move(task)), state_(std::make_shared<State>()) {
  worker_ = std::thread([this, state = state_] {
    std::unique_lock lock(state->mutex);
    while (!state->wake.wait_for(lock, interval_, [&] { return state->stopping; })) queue_.async(task_);
  });
}

RepeatingTimer::~RepeatingTimer() {
  if (process_.forkedAway()) {
    // The missing thread waits on the condition variable for ever: destroying it would wait as long.
    state_->absent = std::move(worker_);
    return;
  }
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->wake.notify_all();
  worker_.join();
}

}  // namespace crashreporting
