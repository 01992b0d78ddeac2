#include "crashreporting/platform/RepeatingTimer.h"

#include "crashreporting/platform/SerialQueue.h"

namespace crashreporting {

RepeatingTimer::RepeatingTimer(std::chrono::milliseconds interval, SerialQueue& queue, std::function<void()> task)
    : interval_(interval), queue_(queue), task_(std::move(task)), worker_([this] { run(); }) {}

RepeatingTimer::~RepeatingTimer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void RepeatingTimer::run() {
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, interval_, [this] { return stopping_; })) queue_.async(task_);
}

}  // namespace crashreporting
