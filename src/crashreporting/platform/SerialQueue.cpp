#include "crashreporting/platform/SerialQueue.h"

#include <condition_variable>
#include <deque>
#include <mutex>

#include "crashreporting/platform/Guarded.h"
#include "crashreporting/platform/QueueThreadTable.h"

namespace crashreporting {

// What the thread works on. The thread holds its own reference, so it never touches freed memory when the
// queue goes from inside one of its tasks.
struct SerialQueue::State {
  explicit State(std::string l) : label(std::move(l)) {}

  const std::string label;
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable finished;
  std::deque<std::function<void()>> tasks;
  std::uint64_t submitted = 0;
  std::uint64_t completed = 0;  // tasks run and released
  bool stopping = false;
  std::thread::id workerId;  // set once the thread starts; a default id matches no thread
  /// The handle of a thread that a child forked without exec does not have: never joined nor destroyed there.
  std::thread absent;
};

SerialQueue::SerialQueue(std::string label) : state_(std::make_shared<State>(std::move(label))) {}

SerialQueue::~SerialQueue() {
  if (worker_.joinable() && workerProcess_.forkedAway()) {
    // The lock and condition variables may be held or waited on by the missing thread for ever. The state stays
    // alive through that thread's own reference, which is never let go of here.
    state_->absent = std::move(worker_);
    return;
  }
  {
    const std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->wake.notify_all();
  if (!worker_.joinable()) return;
  // The last owner may let go from inside one of our own tasks; the thread then ends by itself, on its own
  // reference to the state.
  if (std::this_thread::get_id() == worker_.get_id()) {
    worker_.detach();
  } else {
    worker_.join();
  }
}

const std::string& SerialQueue::label() const { return state_->label; }

std::uint64_t SerialQueue::enqueue(std::function<void()> task) {
  std::uint64_t ticket;
  {
    const std::lock_guard lock(state_->mutex);
    state_->tasks.push_back(std::move(task));
    ticket = ++state_->submitted;
    if (!worker_.joinable()) {
      workerProcess_ = OwningProcess();
      worker_ = std::thread([state = state_] { run(state); });
      state_->workerId = worker_.get_id();
    }
  }
  state_->wake.notify_one();
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
  std::unique_lock lock(state_->mutex);
  state_->finished.wait(lock, [&] { return state_->completed >= ticket; });
}

bool SerialQueue::isCurrent() const {
  const std::lock_guard lock(state_->mutex);
  return state_->workerId == std::this_thread::get_id();
}

void SerialQueue::run(const std::shared_ptr<State>& state) {
  QueueThreadTableEnter(state->label.c_str());
  struct Leave {
    ~Leave() { QueueThreadTableLeave(); }
  } leave;
  std::unique_lock lock(state->mutex);
  for (;;) {
    state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
    if (state->tasks.empty()) return;  // stopping, and nothing left
    auto task = std::move(state->tasks.front());
    state->tasks.pop_front();
    lock.unlock();
    runGuarded(state->label.c_str(), task);
    task = nullptr;  // what the task held goes before the next one starts
    lock.lock();
    ++state->completed;
    state->finished.notify_all();
  }
}

}  // namespace crashreporting
