#include "crashreporting/platform/SerialQueue.h"

#include "crashreporting/platform/QueueThreadTable.h"

namespace crashreporting {

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {}

SerialQueue::~SerialQueue() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (!worker_.joinable()) return;
  // The last owner may let go from inside one of our own tasks; the thread then ends by itself.
  if (std::this_thread::get_id() == worker_.get_id()) {
    worker_.detach();
  } else {
    worker_.join();
  }
}

std::uint64_t SerialQueue::enqueue(std::function<void()> task) {
  std::uint64_t ticket;
  {
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    ticket = ++submitted_;
    if (!worker_.joinable()) {
      worker_ = std::thread([this] { run(); });
      workerId_ = worker_.get_id();
    }
  }
  wake_.notify_one();
  return ticket;
}

void SerialQueue::async(std::function<void()> task) { enqueue(std::move(task)); }

void SerialQueue::sync(const std::function<void()>& task) {
  if (isCurrent()) {
    task();
    return;
  }
  const std::uint64_t ticket = enqueue([&task] { task(); });
  // Counted once the worker has released the task, so nothing of it is still being freed when sync returns.
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return completed_ >= ticket; });
}

bool SerialQueue::isCurrent() const {
  const std::lock_guard lock(mutex_);
  return worker_.joinable() && workerId_ == std::this_thread::get_id();
}

void SerialQueue::run() {
  QueueThreadTableEnter(label_.c_str());
  struct Leave {
    ~Leave() { QueueThreadTableLeave(); }
  } leave;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty()) return;  // stopping, and nothing left
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // what the task held goes before the next one starts
    lock.lock();
    ++completed_;
    finished_.notify_all();
  }
}

}  // namespace crashreporting
