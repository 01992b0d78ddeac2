#include "crashreporting/platform/Operation.h"

#include <algorithm>

#include "crashreporting/platform/ConcurrentQueue.h"

namespace crashreporting {

void Operation::start() {
  {
    const std::lock_guard lock(mutex_);
    if (executing_ || finished_) return;  // a second start does nothing
  }
  if (isCancelled()) {
    willChangeValueForKey("isFinished");
    {
      const std::lock_guard lock(mutex_);
      finished_ = true;
    }
    didChangeValueForKey("isFinished");
    return;
  }
  willChangeValueForKey("isExecuting");
  {
    const std::lock_guard lock(mutex_);
    executing_ = true;
  }
  didChangeValueForKey("isExecuting");
  main();
  willChangeValueForKey("isExecuting");
  willChangeValueForKey("isFinished");
  {
    const std::lock_guard lock(mutex_);
    executing_ = false;
    finished_ = true;
  }
  didChangeValueForKey("isExecuting");
  didChangeValueForKey("isFinished");
}

void Operation::cancel() {
  if (cancelled_.exchange(true)) return;
  fireReadinessHooks();
}

bool Operation::isExecuting() const {
  const std::lock_guard lock(mutex_);
  return executing_;
}

bool Operation::isFinished() const {
  const std::lock_guard lock(mutex_);
  return finished_;
}

bool Operation::isReady() const {
  if (isCancelled()) return true;
  const std::lock_guard lock(mutex_);
  // Reads only the dependencies' flags, never their locks: a queue asks while holding its own.
  return std::all_of(dependencies_.begin(), dependencies_.end(),
                     [](const auto& d) { return d->seenFinished_ || d->cancelled_; });
}

void Operation::addDependency(const std::shared_ptr<Operation>& other) {
  if (!other || other.get() == this) return;
  {
    const std::lock_guard lock(mutex_);
    dependencies_.push_back(other);
  }
  const std::weak_ptr<Operation> self = weak_from_this();
  const auto wake = [self] {
    if (const auto op = self.lock()) op->fireReadinessHooks();
  };
  other->addReadinessHook(wake);
  other->whenFinished(wake);
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
  const std::lock_guard lock(mutex_);
  return dependencies_;
}

void Operation::setCompletionBlock(std::function<void()> block) {
  const std::lock_guard lock(mutex_);
  completionBlock_ = std::move(block);
}

std::function<void()> Operation::completionBlock() const {
  const std::lock_guard lock(mutex_);
  return completionBlock_;
}

void Operation::setName(std::string name) {
  const std::lock_guard lock(mutex_);
  name_ = std::move(name);
}

std::string Operation::name() const {
  const std::lock_guard lock(mutex_);
  return name_;
}

void Operation::waitUntilFinished() {
  std::unique_lock lock(mutex_);
  finishedSignal_.wait(lock, [this] { return seenFinished_.load(); });
}

std::uint64_t Operation::addObserver(Observer observer) {
  const std::lock_guard lock(mutex_);
  observers_.emplace_back(nextObserverId_, std::move(observer));
  return nextObserverId_++;
}

void Operation::removeObserver(std::uint64_t id) {
  const std::lock_guard lock(mutex_);
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void Operation::addReadinessHook(std::function<void()> hook) {
  const std::lock_guard lock(mutex_);
  readinessHooks_.push_back(std::move(hook));
}

void Operation::whenFinished(std::function<void()> hook) {
  {
    const std::lock_guard lock(mutex_);
    if (!seenFinished_) {
      finishedHooks_.push_back(std::move(hook));
      return;
    }
  }
  hook();
}

void Operation::willChangeValueForKey(std::string_view) {}

void Operation::didChangeValueForKey(std::string_view key) {
  std::vector<Observer> observers;
  {
    const std::lock_guard lock(mutex_);
    for (const auto& entry : observers_) observers.push_back(entry.second);
  }
  for (const auto& observer : observers) observer(*this, key);
  if (key == "isFinished" && isFinished()) announceFinished();
}

void Operation::announceFinished() {
  std::vector<std::function<void()>> hooks;
  std::function<void()> completion;
  {
    const std::lock_guard lock(mutex_);
    if (seenFinished_) return;  // a repeated announcement changes nothing
    seenFinished_ = true;
    hooks.swap(finishedHooks_);
    completion = completionBlock_;
  }
  finishedSignal_.notify_all();
  for (const auto& hook : hooks) hook();
  if (completion) ConcurrentQueue::global().async(std::move(completion));
}

void Operation::fireReadinessHooks() {
  std::vector<std::function<void()>> hooks;
  {
    const std::lock_guard lock(mutex_);
    hooks = readinessHooks_;
  }
  for (const auto& hook : hooks) hook();
}

}  // namespace crashreporting
