#pragma once

#include <memory>

#include "AppManager/Store/StoreService.h"
#include "platform/store/Database.h"

namespace tilvane {

/// Runs `body` in one write transaction of the default database and commits it. False, with every stored object
/// as it was, when the database cannot be used or the commit fails; the store service says so once. Main
/// thread only.
template <class F>
bool writeTransaction(F&& body) {
  const std::shared_ptr<store::Database> database = StoreService::shared().database();
  if (!database) return false;
  try {
    database->write(body);
    return true;
  } catch (const store::Error& error) {
    StoreService::shared().reportFailure(error);
    return false;
  }
}

/// How a write that may be retried went.
enum class WriteOutcome {
  written,
  heldUp,  ///< another program holds the file's write lock: nothing changed, try again later
  failed,  ///< any other failure, reported by the store service
};

/// Runs `body(database)` in one write transaction of the default database and commits it, without waiting for
/// another program's write lock: a locked file answers heldUp at once and is not reported, so the caller keeps
/// what it meant to write and tries again. Main thread only.
template <class F>
WriteOutcome tryWriteTransaction(F&& body) {
  const std::shared_ptr<store::Database> database = StoreService::shared().database();
  if (!database) return WriteOutcome::failed;
  try {
    database->write([&] { body(*database); });
    return WriteOutcome::written;
  } catch (const store::Error& error) {
    if (error.failure() == store::Failure::busy) return WriteOutcome::heldUp;
    StoreService::shared().reportFailure(error);
    return WriteOutcome::failed;
  }
}

/// Whether a record may be changed: present and not deleted from the database.
inline bool isWritable(const std::shared_ptr<store::Object>& record) { return record && !record->isInvalidated(); }

}  // namespace tilvane
