#pragma once

#include <functional>
#include <memory>

#include "platform/dispatch/OperationQueue.h"

namespace tilvane {

/// An operation whose work ends later: its block is handed a `done` callback and the operation finishes when
/// that is called (once; later calls, and calls after the operation is gone, do nothing). This is how a queue
/// step that sleeps or waits for main-queue work keeps its place in a serial queue without blocking a thread.
class AsyncBlockOperation final : public dispatch::Operation,
                                  public std::enable_shared_from_this<AsyncBlockOperation> {
 public:
  using Done = std::function<void()>;
  using Block = std::function<void(Done done)>;

  explicit AsyncBlockOperation(Block block) : block_(std::move(block)) {}

 protected:
  void main() override;

 private:
  Block block_;
};

}  // namespace tilvane
