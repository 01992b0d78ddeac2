#pragma once

#include <functional>
#include <memory>

#include "platform/dispatch/OperationQueue.h"
#include "platform/store/Database.h"

namespace tilvane {

/// Lets the store writes that fall due in one main-loop turn share one commit of the default database, made
/// behind the moves queued before it: remembering a placement puts no disk write between a key press and the
/// window's move, and laying out many windows costs one commit instead of one per window. Until the commit
/// other connections see none of the writes, and a killed process loses them. Main thread only.
class GroupedCommit {
 public:
  /// `moves`: the queue whose operations already queued go before the commit. `beforeCommit`: writes still
  /// waiting for the turn to end, made into the group just before it commits.
  explicit GroupedCommit(dispatch::OperationQueue& moves, std::function<void()> beforeCommit = {})
      : moves_(moves), beforeCommit_(std::make_shared<std::function<void()>>(std::move(beforeCommit))) {}
  /// Commits what is still open.
  ~GroupedCommit() { commit(); }
  GroupedCommit(const GroupedCommit&) = delete;
  GroupedCommit& operator=(const GroupedCommit&) = delete;

  /// Opens the shared transaction unless one is open, and queues its commit. When none can be opened (no
  /// database, its write lock taken, a write transaction open) writes commit one by one; after finding the lock
  /// held by another program it tries no more for kBusyPause.
  void join();
  /// Commits the open shared transaction now. A failed commit is logged; its writes are rolled back.
  void commit();

 private:
  static constexpr double kBusyPause = 1.0;
  dispatch::OperationQueue& moves_;
  // Held by this object alone: a commit task that outlives it runs no hook.
  std::shared_ptr<std::function<void()>> beforeCommit_;
  std::weak_ptr<store::Database> database_;
  double retryAt_ = 0;
};

}  // namespace tilvane
