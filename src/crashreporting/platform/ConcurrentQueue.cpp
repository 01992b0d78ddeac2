#include "crashreporting/platform/ConcurrentQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>

#include "crashreporting/platform/Guarded.h"

namespace crashreporting {

// What the threads work on. Each thread holds its own reference, so none touches freed memory when the queue
// goes from inside one of its tasks.
struct ConcurrentQueue::State {
  State(std::string l, std::size_t max) : label(std::move(l)), maxThreads(max == 0 ? 1 : max) {}

  const std::string label;
  const std::size_t maxThreads;
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void()>> tasks;
  std::size_t idle = 0;
  bool stopping = false;
};

ConcurrentQueue::ConcurrentQueue(std::string label, std::size_t maxThreads)
    : state_(std::make_shared<State>(std::move(label), maxThreads)) {}

ConcurrentQueue::~ConcurrentQueue() {
  {
    const std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->wake.notify_all();
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

const std::string& ConcurrentQueue::label() const { return state_->label; }

void ConcurrentQueue::async(std::function<void()> task) {
  {
    const std::lock_guard lock(state_->mutex);
    state_->tasks.push_back(std::move(task));
    if (state_->idle < state_->tasks.size() && threads_.size() < state_->maxThreads) {
      threads_.emplace_back([state = state_] { run(state); });
    }
  }
  state_->wake.notify_one();
}

void ConcurrentQueue::run(const std::shared_ptr<State>& state) {
  std::unique_lock lock(state->mutex);
  for (;;) {
    ++state->idle;
    state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
    --state->idle;
    if (state->tasks.empty()) return;
    auto task = std::move(state->tasks.front());
    state->tasks.pop_front();
    lock.unlock();
    runGuarded("a concurrent queue", task);
    task = nullptr;
    lock.lock();
  }
}

}  // namespace crashreporting
