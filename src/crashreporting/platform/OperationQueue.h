#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crashreporting/platform/Operation.h"

namespace crashreporting {

/// Runs operations on the global concurrent queue, at most `maxConcurrentOperationCount` at a time (one: a
/// serial queue). Of the operations that are ready, the one of the highest queue priority starts first, the
/// earliest added among equals; an operation leaves the queue when it has finished. The stand-in for the
/// platform's operation queue.
class OperationQueue {
 public:
  static constexpr std::size_t kUnlimited = 0;

  explicit OperationQueue(std::string name = {});
  /// Lets go of the operations; ones already running finish on their own.
  ~OperationQueue();
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  std::string name() const;
  void setName(std::string name);
  void setMaxConcurrentOperationCount(std::size_t count);
  std::size_t maxConcurrentOperationCount() const;

  /// Adds an operation that is not finished and not in a queue yet; others are ignored.
  void addOperation(const std::shared_ptr<Operation>& operation);
  void addOperations(const std::vector<std::shared_ptr<Operation>>& operations, bool waitUntilFinished);
  void addOperationWithBlock(std::function<void()> block,
                             Operation::QueuePriority priority = Operation::QueuePriority::normal);

  /// The operations not yet finished, in the order added.
  std::vector<std::shared_ptr<Operation>> operations() const;
  std::size_t operationCount() const;
  void cancelAllOperations();
  /// Blocks until every operation added so far has finished.
  void waitUntilAllOperationsAreFinished();

 private:
  struct State;
  static void schedule(const std::shared_ptr<State>& state);
  std::shared_ptr<State> state_;
};

}  // namespace crashreporting
