#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace crashreporting {

/// One step of work for an OperationQueue, the library's stand-in for the platform's operation: ready, then
/// executing, then finished; it may be cancelled at any time, may wait for other operations (dependencies), and
/// runs its completion block once it has finished. Subclasses put their work in main(); an asynchronous
/// subclass overrides start(), isExecuting() and isFinished() and announces its changes with
/// willChangeValueForKey() / didChangeValueForKey() ("isExecuting", "isFinished").
///
/// Operations are shared between their owner, their queue and the operations that depend on them: always hold
/// them in a std::shared_ptr.
class Operation : public std::enable_shared_from_this<Operation> {
 public:
  Operation() = default;
  virtual ~Operation() = default;
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  /// Runs the operation on the calling thread: a cancelled one finishes without running main().
  virtual void start();
  virtual void main() {}
  /// Marks the operation cancelled; it is then ready at once, so its queue starts (and thereby finishes) it.
  virtual void cancel();
  bool isCancelled() const { return cancelled_; }
  virtual bool isExecuting() const;
  virtual bool isFinished() const;
  virtual bool isAsynchronous() const { return false; }
  bool isConcurrent() const { return isAsynchronous(); }
  /// Cancelled, or every dependency finished or cancelled.
  bool isReady() const;

  /// Makes this operation wait until `other` has finished or is cancelled.
  void addDependency(const std::shared_ptr<Operation>& other);
  std::vector<std::shared_ptr<Operation>> dependencies() const;

  /// Runs once, on a thread of the global concurrent queue, after the operation has finished.
  void setCompletionBlock(std::function<void()> block);
  std::function<void()> completionBlock() const;

  void setName(std::string name);
  std::string name() const;

  /// Among the ready operations of a queue, a higher priority starts first (the earliest added among equals).
  /// Read when the operation is added to its queue.
  enum class QueuePriority : int { veryLow = -8, low = -4, normal = 0, high = 4, veryHigh = 8 };
  void setQueuePriority(QueuePriority priority) { queuePriority_ = priority; }
  QueuePriority queuePriority() const { return queuePriority_; }

  /// Blocks the calling thread until the operation has finished.
  void waitUntilFinished();

  /// Called after every announced change, on the thread that made it, with the key that changed.
  using Observer = std::function<void(Operation&, std::string_view key)>;
  std::uint64_t addObserver(Observer observer);
  void removeObserver(std::uint64_t id);

  /// For queues: `hook` runs when readiness may have changed (a cancel, a dependency finished). Runs without
  /// any lock of the operation held.
  void addReadinessHook(std::function<void()> hook);
  /// For queues: `hook` runs once when the operation is first seen finished (at once if it already is).
  void whenFinished(std::function<void()> hook);

 protected:
  virtual void willChangeValueForKey(std::string_view key);
  virtual void didChangeValueForKey(std::string_view key);

 private:
  void announceFinished();
  void fireReadinessHooks();

  mutable std::mutex mutex_;
  std::condition_variable finishedSignal_;
  bool executing_ = false;  // the base class's own states (asynchronous subclasses keep theirs)
  bool finished_ = false;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> seenFinished_{false};
  std::atomic<QueuePriority> queuePriority_{QueuePriority::normal};
  std::vector<std::shared_ptr<Operation>> dependencies_;
  std::function<void()> completionBlock_;
  std::string name_;
  std::vector<std::pair<std::uint64_t, Observer>> observers_;
  std::uint64_t nextObserverId_ = 1;
  std::vector<std::function<void()>> readinessHooks_;
  std::vector<std::function<void()>> finishedHooks_;
};

}  // namespace crashreporting
