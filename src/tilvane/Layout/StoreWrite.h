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

/// Whether a record may be changed: present and not deleted from the database.
inline bool isWritable(const std::shared_ptr<store::Object>& record) { return record && !record->isInvalidated(); }

}  // namespace tilvane
