#include "CustomLayout/CustomLayoutStore.h"

#include <string>

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/CustomLayoutModel.h"

namespace tilvane {
namespace {

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

void logFailure(const std::string& what, const CustomLayoutModel& layout, const std::string& reason) {
  LogManager::error("custom layout " + quoted(layout.name()) + " was not " + what + ": " + reason);
}

}  // namespace

SaveOutcome saveCustomLayout(const CustomLayoutModelPtr& layout, bool mayCreate) {
  if (!layout) return SaveOutcome::failed;
  StoreService& service = StoreService::shared();
  const auto database = service.database();
  if (!database) {
    logFailure("saved", *layout, "the database cannot be used");
    return SaveOutcome::failed;
  }
  try {
    bool gone = false;
    database->write([&] {
      gone = !mayCreate && database->objects<CustomLayoutModel>(StoreService::idPredicate(layout->id())).empty();
      if (!gone) service.addUpdating(*database, layout);
    });
    if (gone)
      LogManager::warning("custom layout " + quoted(layout->name()) + " was not saved: it was deleted elsewhere");
    return gone ? SaveOutcome::gone : SaveOutcome::saved;
  } catch (const store::Error& e) {
    logFailure("saved", *layout, e.what());
    return SaveOutcome::failed;
  }
}

bool deleteCustomLayout(const CustomLayoutModel& layout) {
  const auto database = StoreService::shared().database();
  if (!database) {
    logFailure("deleted", layout, "the database cannot be used");
    return false;
  }
  try {
    const auto predicate = StoreService::idPredicate(layout.id());
    const auto matches = database->objects<CustomLayoutModel>(predicate);
    if (matches.empty()) return true;
    database->write([&] { database->remove(matches); });
    return true;
  } catch (const store::Error& e) {
    logFailure("deleted", layout, e.what());
    return false;
  }
}

}  // namespace tilvane
