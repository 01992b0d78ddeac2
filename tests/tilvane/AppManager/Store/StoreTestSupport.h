#pragma once

#include <filesystem>

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {

/// A fresh world with the database configured at its default place under the temporary data folder, the
/// workspace list file redirected into the temporary folder, and the log captured.
class StoreServiceTest : public WorldTest {
 protected:
  StoreServiceTest() {
    store().configureRealm();
    log.clear();
  }

  StoreService& store() { return StoreService::shared(); }
  std::filesystem::path databaseFile() const { return store::Configuration::defaultFileURL(); }
  std::filesystem::path alfredFile() const { return tempDir() / "var" / "tilvane" / "afredsupport" / "space.xml"; }

  /// Stores the object (replacing one with its id) in the default database and returns it.
  template <class T>
  std::shared_ptr<T> stored(std::shared_ptr<T> object) {
    auto db = store::Database::open();
    db->write([&] { store().addUpdating(*db, object); });
    return object;
  }

  LogManager::Capture log;

 private:
  ScopedEnv alfred_{"TILVANE_ALFRED_FILE", alfredFile().string()};
};

}  // namespace tilvane::test
