#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/dispatch/MainLoop.h"

namespace tilvane::dispatch {

/// One unit of work of an OperationQueue. Its steps run as tasks of the main loop; an operation that waits
/// (sleeps, waits for a window) schedules its next step on the clock and calls finish() at the very end, so the
/// queue's order and delays hold without blocking a thread.
class Operation {
 public:
  virtual ~Operation() = default;

  /// Runs after the operation has finished (also when it was cancelled before it started).
  std::function<void()> completionBlock;

  void cancel() { cancelled_ = true; }
  bool isCancelled() const { return cancelled_; }
  bool isExecuting() const { return executing_; }
  bool isFinished() const { return finished_; }

 protected:
  /// The operation's work, called on the main loop when its turn comes. It must call finish() exactly once,
  /// now or from a later main-loop task.
  virtual void main() = 0;
  void finish();

 private:
  friend class OperationQueue;
  void begin(std::function<void()> onFinished);

  bool cancelled_ = false;
  bool executing_ = false;
  bool finished_ = false;
  std::function<void()> onFinished_;
};

/// An operation that runs one block and finishes.
class BlockOperation final : public Operation {
 public:
  explicit BlockOperation(Task block) : block_(std::move(block)) {}

 protected:
  void main() override;

 private:
  Task block_;
};

/// A serial operation queue: one operation at a time, in the order added; suspend holds back operations not yet
/// started (the running one goes on). Operations start on the installed main loop (MainQueue).
class OperationQueue {
 public:
  explicit OperationQueue(std::string name = {});
  ~OperationQueue();
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  const std::string& name() const;
  void addOperation(std::shared_ptr<Operation> operation);
  void addOperation(Task block);

  /// Kept for the callers that set it; the queue is serial whatever the value.
  void setMaxConcurrentOperationCount(int count);
  int maxConcurrentOperationCount() const;

  void setSuspended(bool suspended);
  bool isSuspended() const;

  /// Operations waiting or running.
  std::size_t operationCount() const;
  void cancelAllOperations();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace tilvane::dispatch
