#include "Layout/GroupedCommit.h"

#include "AppManager/Logging/LogManager.h"
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
    LogManager::error(error.what());
  }
}

}  // namespace

void GroupedCommit::join() {
  if (const auto open = database_.lock(); open && open->isInWriteGroup()) return;
  std::shared_ptr<store::Database> database;
  try {
    database = store::Database::open();
    if (database->isInWriteGroup() || database->isInWriteTransaction()) return;
    database->beginWriteGroup();
  } catch (const store::Error&) {
    return;  // each write then reports its own failure
  }
  database_ = database;
  // The task holds the instance, so the group cannot end with the last other handle before it commits.
  auto task = [database] { commitGroup(database); };
  if (moves_.isSuspended())
    dispatch::MainQueue::async(std::move(task));
  else
    moves_.addOperation(std::move(task));
}

void GroupedCommit::commit() {
  if (const auto database = database_.lock()) commitGroup(database);
}

}  // namespace tilvane
