#include "crashreporting/platform/ConcurrentQueue.h"

#include <new>

namespace crashreporting {

ConcurrentQueue::ConcurrentQueue(std::string label, std::size_t maxThreads)
    : label_(std::move(label)), maxThreads_(maxThreads == 0 ? 1 : maxThreads) {}

ConcurrentQueue::~ConcurrentQueue() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) {
    if (t.get_id() == std::this_thread::get_id()) {
      t.detach();
    } else {
      t.join();
    }
  }
}

ConcurrentQueue& ConcurrentQueue::global() {
  // Never destroyed: tasks may still be running while the process exits.
  alignas(ConcurrentQueue) static unsigned char storage[sizeof(ConcurrentQueue)];
  static ConcurrentQueue* const queue = ::new (storage) ConcurrentQueue("crashreporting.global", 256);
  return *queue;
}

void ConcurrentQueue::async(std::function<void()> task) {
  {
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    if (idle_ < tasks_.size() && threads_.size() < maxThreads_) threads_.emplace_back([this] { run(); });
  }
  wake_.notify_one();
}

void ConcurrentQueue::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    --idle_;
    if (tasks_.empty()) return;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    task = nullptr;
    lock.lock();
  }
}

}  // namespace crashreporting
