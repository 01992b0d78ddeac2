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

  LogManager::Capture log;

 private:
  ScopedEnv alfred_;
};

}  // namespace tilvane::test
