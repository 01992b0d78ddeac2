#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {

/// A fresh world with the database configured at its default place under the temporary data folder, the
/// workspace list file redirected into the temporary folder, and the log captured.
class StoreServiceTest : public WorldTest {
 protected:
  StoreServiceTest();

  StoreService& store() { return StoreService::shared(); }
  std::filesystem::path databaseFile() const { return store::Configuration::defaultFileURL(); }
  std::filesystem::path alfredFile() const { return tempDir() / "var" / "tilvane" / "afredsupport" / "space.xml"; }
  /// The workspace list file as id → name; absent when it is missing or not a property list of strings.
  std::optional<std::map<std::string, std::string>> alfredEntries() const;

  /// Stores the object (replacing one with its id) in the default database and returns it.
  template <class T>
  std::shared_ptr<T> stored(std::shared_ptr<T> object) {
    auto db = store::Database::open();
    db->write([&] { store().addUpdating(*db, object); });
    return object;
  }

  LogManager::Capture log;

 private:
  ScopedEnv alfred_;
};

}  // namespace tilvane::test
