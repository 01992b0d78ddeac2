#include "platform/dispatch/OperationQueue.h"

#include "platform/dispatch/MainQueue.h"

namespace tilvane::dispatch {

void Operation::begin(std::function<void()> onFinished) {
  onFinished_ = std::move(onFinished);
  executing_ = true;
  if (cancelled_)
    finish();
  else
    main();
}

void Operation::finish() {
  if (finished_) return;
  executing_ = false;
  finished_ = true;
  if (completionBlock) completionBlock();
  if (auto done = std::move(onFinished_)) done();
}

void BlockOperation::main() {
  if (block_) block_();
  finish();
}

struct OperationQueue::State : std::enable_shared_from_this<State> {
  std::string name;
  std::deque<std::shared_ptr<Operation>> waiting;
  std::shared_ptr<Operation> running;
  bool startPosted = false;
  bool starting = false;  // inside an operation's begin()
  std::shared_ptr<Operation> finishedWhileStarting;
  bool suspended = false;
  int maxConcurrent = 1;

  // Starting is always a separate main-loop task, as an operation queue starts its work off the caller's stack.
  void schedule() {
    if (suspended || running || startPosted || waiting.empty()) return;
    startPosted = true;
    std::weak_ptr<State> weak = shared_from_this();
    MainQueue::async([weak] {
      if (auto self = weak.lock()) self->startNext();
    });
  }

  void startNext() {
    startPosted = false;
    if (suspended || running || waiting.empty()) return;
    running = std::move(waiting.front());
    waiting.pop_front();
    std::weak_ptr<State> weak = shared_from_this();
    Operation* op = running.get();
    starting = true;
    op->begin([weak, op] {
      if (auto self = weak.lock(); self && self->running.get() == op) {
        // Keep the operation alive until its finish() has returned: one that finishes while it starts (most
        // do) is let go right after, a later finisher by a task of its own.
        if (self->starting)
          self->finishedWhileStarting = std::move(self->running);
        else
          MainQueue::async([keep = std::move(self->running)] {});
        self->running.reset();
        self->schedule();
      }
    });
    starting = false;
    finishedWhileStarting.reset();
  }
};

OperationQueue::OperationQueue(std::string name) : state_(std::make_shared<State>()) {
  state_->name = std::move(name);
}

OperationQueue::~OperationQueue() = default;

const std::string& OperationQueue::name() const { return state_->name; }

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
  if (!operation) return;
  state_->waiting.push_back(std::move(operation));
  state_->schedule();
}

void OperationQueue::addOperation(Task block) { addOperation(std::make_shared<BlockOperation>(std::move(block))); }

void OperationQueue::setMaxConcurrentOperationCount(int count) { state_->maxConcurrent = count; }
int OperationQueue::maxConcurrentOperationCount() const { return state_->maxConcurrent; }

void OperationQueue::setSuspended(bool suspended) {
  state_->suspended = suspended;
  state_->schedule();
}

bool OperationQueue::isSuspended() const { return state_->suspended; }

std::size_t OperationQueue::operationCount() const {
  return state_->waiting.size() + (state_->running ? 1 : 0);
}

void OperationQueue::cancelAllOperations() {
  for (auto& op : state_->waiting) op->cancel();
  if (state_->running) state_->running->cancel();
}

}  // namespace tilvane::dispatch
