#include "WorkspaceLayout/Editor/WorkspaceStore.h"

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"

namespace tilvane {

bool writeWorkspaceChange(const std::string& what, const std::function<void(store::Database&)>& change) {
  const auto database = StoreService::shared().database();
  if (!database) {
    LogManager::error("workspace change was not saved: " + what + ": the database cannot be used");
    return false;
  }
  try {
    database->write([&] { change(*database); });
    return true;
  } catch (const store::Error& e) {
    LogManager::error("workspace change was not saved: " + what + ": " + e.what());
    return false;
  } catch (const store::LogicError& e) {
    LogManager::error("workspace change was not saved: " + what + ": " + e.what());
    return false;
  }
}

}  // namespace tilvane
