#pragma once

#include <memory>

#include "platform/store/Database.h"

namespace tilvane {

/// Runs `body` in one write transaction of the default database and commits it. False, with every stored object
/// as it was, when the database cannot be opened or the commit fails; such failures are not reported (a
/// remembered placement is worth a retry on the next move, not a message). Main thread only.
template <class F>
bool writeTransaction(F&& body) {
  try {
    const std::shared_ptr<store::Database> database = store::Database::open();
    database->write(body);
    return true;
  } catch (const store::Error&) {
    return false;
  }
}

/// Whether a record may be changed: present and not deleted from the database.
inline bool isWritable(const std::shared_ptr<store::Object>& record) { return record && !record->isInvalidated(); }

}  // namespace tilvane
