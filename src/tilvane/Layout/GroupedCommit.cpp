#include "Layout/GroupedCommit.h"

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {

void commitGroup(const std::shared_ptr<store::Database>& database) {
  if (!database->isInWriteGroup()) return;
  if (database->isInWriteTransaction()) {
    // Called from inside a write: the group commits once that write has ended.
    dispatch::MainQueue::async([database] { commitGroup(database); });
    return;
  }
  try {
    database->commitWriteGroup();
  } catch (const store::Error& error) {
    StoreService::shared().reportFailure(error);
  }
}

}  // namespace

void GroupedCommit::join() {
  if (const auto open = database_.lock(); open && open->isInWriteGroup()) return;
  // An unusable or read-only database has been reported already; each write then fails on its own.
  const std::shared_ptr<store::Database> database = StoreService::shared().database();
  if (!database || database->isReadOnly() || database->isInWriteGroup() || database->isInWriteTransaction())
    return;
  const double now = dispatch::MainQueue::clock().now();
  if (now < retryAt_) return;
  try {
    database->beginWriteGroup();
  } catch (const store::Error& error) {
    // Another program holds the lock: each write then finds out on its own, without a second wait here.
    if (error.failure() == store::Failure::busy) retryAt_ = now + kBusyPause;
    return;
  }
  database_ = database;
  // The task holds the instance, so the group cannot end with the last other handle before it commits.
  auto task = [database, hook = std::weak_ptr(beforeCommit_)] {
    if (const auto before = hook.lock(); before && *before && database->isInWriteGroup()) (*before)();
    commitGroup(database);
  };
  if (moves_.isSuspended())
    dispatch::MainQueue::async(std::move(task));
  else
    moves_.addOperation(std::move(task));
}

void GroupedCommit::commit() {
  if (const auto database = database_.lock()) commitGroup(database);
}

}  // namespace tilvane
