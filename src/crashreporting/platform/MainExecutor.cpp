#include "crashreporting/platform/MainExecutor.h"

#include "crashreporting/platform/Guarded.h"
#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {

MainExecutor::MainExecutor() : thread_(std::make_unique<SerialQueue>("crashreporting.main")) {}

MainExecutor& MainExecutor::shared() { return Shared<MainExecutor>::get(); }

void MainExecutor::driveByHost() {
  const std::lock_guard lock(mutex_);
  hostDriven_ = true;
}

bool MainExecutor::isHostDriven() const {
  const std::lock_guard lock(mutex_);
  return hostDriven_;
}

void MainExecutor::async(std::function<void()> task) {
  {
    const std::lock_guard lock(mutex_);
    if (hostDriven_) {
      pending_.push_back(std::move(task));
      return;
    }
  }
  thread_->async(std::move(task));
}

std::size_t MainExecutor::pump() {
  std::deque<std::function<void()>> due;
  {
    const std::lock_guard lock(mutex_);
    due.swap(pending_);
  }
  for (auto& task : due) runGuarded("the main queue", task);
  return due.size();
}

}  // namespace crashreporting
