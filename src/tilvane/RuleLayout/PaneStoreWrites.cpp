#include "RuleLayout/PaneStoreWrites.h"

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/ExtensionAppModel.h"
#include "Models/RuleLayoutModel.h"

namespace tilvane {
namespace {

// Runs `body` in one write transaction; false, logged with `what`, when nothing was committed.
template <class F>
bool paneWrite(const std::string& what, F&& body) {
  const auto database = StoreService::shared().database();
  if (!database) {
    LogManager::error("could not " + what + ": the database cannot be used");
    return false;
  }
  try {
    database->write([&] { body(*database); });
    return true;
  } catch (const store::Error& error) {
    LogManager::error("could not " + what + ": " + error.what());
    return false;
  }
}

}  // namespace

bool saveStoredRule(const RuleLayoutModelPtr& rule) {
  const std::string id = rule->id();
  return paneWrite("save the rule of \"" + id + "\"",
                   [&](store::Database& database) { StoreService::shared().addUpdating(database, rule); });
}

bool deleteStoredRule(const std::string& bundleID) {
  return paneWrite("delete the rule of \"" + bundleID + "\"", [&](store::Database& database) {
    const auto predicate = StoreService::idPredicate(bundleID);
    database.remove(database.objects<RuleLayoutModel>(predicate));
  });
}

bool storeExtensionApp(const ExtensionAppModelPtr& app) {
  const std::string path = app->path();
  return paneWrite("store the added application \"" + path + "\"",
                   [&](store::Database& database) { StoreService::shared().addUpdating(database, app); });
}

}  // namespace tilvane
