#include "crashreporting/platform/OperationQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>

#include "crashreporting/platform/ConcurrentQueue.h"

namespace crashreporting {

struct OperationQueue::State {
  mutable std::mutex mutex;
  std::condition_variable drained;
  std::string name;
  std::size_t maxConcurrent = kUnlimited;
  struct Waiting {
    std::shared_ptr<Operation> operation;
    Operation::QueuePriority priority;
  };
  std::deque<Waiting> waiting;  // not started, in the order added
  std::size_t raised = 0;       // of them, those of another priority than normal
  std::vector<std::shared_ptr<Operation>> running;

  bool full() const { return maxConcurrent != kUnlimited && running.size() >= maxConcurrent; }
  /// Moves a waiting operation to running and `starting`; the waiting one after it.
  std::deque<Waiting>::iterator start(std::deque<Waiting>::iterator it,
                                      std::vector<std::shared_ptr<Operation>>& starting) {
    if (it->priority != Operation::QueuePriority::normal) --raised;
    running.push_back(it->operation);
    starting.push_back(it->operation);
    return waiting.erase(it);
  }
  /// Under the mutex: moves the operations to start now from waiting to running and into `starting`.
  void takeReady(std::vector<std::shared_ptr<Operation>>& starting) {
    if (raised == 0) {  // one pass, in the order added
      for (auto it = waiting.begin(); it != waiting.end() && !full();) {
        it = it->operation->isReady() ? start(it, starting) : std::next(it);
      }
      return;
    }
    while (!full()) {
      auto best = waiting.end();
      for (auto it = waiting.begin(); it != waiting.end(); ++it) {
        if (best != waiting.end() && it->priority <= best->priority) continue;
        if (it->operation->isReady()) best = it;
      }
      if (best == waiting.end()) return;
      start(best, starting);
    }
  }
};

OperationQueue::OperationQueue(std::string name) : state_(std::make_shared<State>()) {
  state_->name = std::move(name);
}

OperationQueue::~OperationQueue() = default;

std::string OperationQueue::name() const {
  const std::lock_guard lock(state_->mutex);
  return state_->name;
}

void OperationQueue::setName(std::string name) {
  const std::lock_guard lock(state_->mutex);
  state_->name = std::move(name);
}

void OperationQueue::setMaxConcurrentOperationCount(std::size_t count) {
  {
    const std::lock_guard lock(state_->mutex);
    state_->maxConcurrent = count;
  }
  schedule(state_);
}

std::size_t OperationQueue::maxConcurrentOperationCount() const {
  const std::lock_guard lock(state_->mutex);
  return state_->maxConcurrent;
}

void OperationQueue::addOperation(const std::shared_ptr<Operation>& operation) {
  if (!operation || operation->isExecuting() || operation->isFinished()) return;
  {
    const std::lock_guard lock(state_->mutex);
    const auto priority = operation->queuePriority();
    state_->waiting.push_back({operation, priority});
    if (priority != Operation::QueuePriority::normal) ++state_->raised;
  }
  const std::weak_ptr<State> weak = state_;
  const auto wake = [weak] {
    if (const auto state = weak.lock()) schedule(state);
  };
  operation->addReadinessHook(wake);
  for (const auto& dependency : operation->dependencies()) {
    dependency->addReadinessHook(wake);
    dependency->whenFinished(wake);
  }
  schedule(state_);
}

void OperationQueue::addOperations(const std::vector<std::shared_ptr<Operation>>& operations,
                                   bool waitUntilFinished) {
  for (const auto& op : operations) addOperation(op);
  if (!waitUntilFinished) return;
  for (const auto& op : operations) {
    if (op) op->waitUntilFinished();
  }
}

void OperationQueue::addOperationWithBlock(std::function<void()> block, Operation::QueuePriority priority) {
  class BlockOperation : public Operation {
   public:
    explicit BlockOperation(std::function<void()> block) : block_(std::move(block)) {}
    void main() override {
      if (block_) block_();
    }

   private:
    std::function<void()> block_;
  };
  const auto operation = std::make_shared<BlockOperation>(std::move(block));
  operation->setQueuePriority(priority);
  addOperation(operation);
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
  const std::lock_guard lock(state_->mutex);
  std::vector<std::shared_ptr<Operation>> all = state_->running;
  for (const auto& entry : state_->waiting) all.push_back(entry.operation);
  return all;
}

std::size_t OperationQueue::operationCount() const {
  const std::lock_guard lock(state_->mutex);
  return state_->running.size() + state_->waiting.size();
}

void OperationQueue::cancelAllOperations() {
  for (const auto& op : operations()) op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
  std::unique_lock lock(state_->mutex);
  state_->drained.wait(lock, [this] { return state_->running.empty() && state_->waiting.empty(); });
}

void OperationQueue::schedule(const std::shared_ptr<State>& state) {
  std::vector<std::shared_ptr<Operation>> starting;
  {
    const std::lock_guard lock(state->mutex);
    state->takeReady(starting);
  }
  const std::weak_ptr<State> weak = state;
  for (const auto& op : starting) {
    op->whenFinished([weak, raw = op.get()] {
      const auto s = weak.lock();
      if (!s) return;
      {
        const std::lock_guard lock(s->mutex);
        std::erase_if(s->running, [raw](const auto& r) { return r.get() == raw; });
        if (s->running.empty() && s->waiting.empty()) s->drained.notify_all();
      }
      schedule(s);
    });
    ConcurrentQueue::global().async([op] { op->start(); });
  }
}

}  // namespace crashreporting
