#include "AppManager/Store/StoreService.h"

#include <algorithm>
#include <unordered_set>

#include "AppManager/Logging/LogManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ExtensionAppModel.h"
#include "Models/ModelSchemas.h"
#include "Models/RuleLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"

namespace tilvane {
namespace {

// Every stored object of T; nothing when the database cannot be used.
template <class T>
std::vector<std::shared_ptr<T>> listAll(const StoreService& service) {
  const auto db = service.database();
  if (!db) return {};
  try {
    return db->objects<T>();
  } catch (const store::Error& e) {
    service.reportFailure(e);
    return {};
  }
}

}  // namespace

void StoreService::configureRealm() {
  store::Configuration configuration;
  configuration.fileURL = store::Configuration::defaultFileURL();
  configuration.schemaVersion = schemaVersion;
  configuration.migrationBlock = &StoreService::migrate;
  configuration.objectTypes = modelSchemas();
  configuration.busyTimeout = kBusyWait;
  LogManager::debug(configuration.fileURL.string());
  store::Configuration::setDefaultConfiguration(std::move(configuration));
}

std::vector<WorkspaceLayoutGroupModelPtr> StoreService::workspaces() const {
  return listAll<WorkspaceLayoutGroupModel>(*this);
}

std::vector<CustomLayoutModelPtr> StoreService::customLayouts() const { return listAll<CustomLayoutModel>(*this); }

std::vector<RuleLayoutModelPtr> StoreService::rules() const { return listAll<RuleLayoutModel>(*this); }

std::vector<ExtensionAppModelPtr> StoreService::extensionApps() const { return listAll<ExtensionAppModel>(*this); }

std::optional<std::vector<AutoLayoutModelPtr>> StoreService::autoLayoutModels(
    const store::Predicate& predicate) const {
  const auto db = database();
  if (!db) return std::nullopt;
  try {
    return db->objects<AutoLayoutModel>(predicate);
  } catch (const store::Error& e) {
    reportFailure(e);
    return std::nullopt;
  }
}

store::Predicate StoreService::idPredicate(const std::string& id) {
  return store::Predicate::equals(std::string(store::ObjectSchema::primaryKey), id);
}

void StoreService::deleteWorkspace(const WorkspaceLayoutGroupModel& group) {
  const std::string id = group.id();  // read first: the group may be the stored object being deleted
  if (const auto db = database()) {
    try {
      const auto matches = db->objects<WorkspaceLayoutGroupModel>(idPredicate(id));
      db->write([&] {
        if (!matches.empty()) db->remove(matches.front()->items().toVector());
        db->remove(matches);
      });
    } catch (const store::Error& e) {
      reportFailure(e);  // the list file is rewritten from what is stored either way
    }
  }
  exportAlfredSpaces();
}

void StoreService::deleteCustomLayout(const CustomLayoutModel& layout) { deleteObject(layout); }

void StoreService::deleteRule(const RuleLayoutModel& rule) { deleteObject(rule); }

void StoreService::deleteExtensionApp(const ExtensionAppModel& app) { deleteObject(app); }

void StoreService::deleteObject(const store::ObjectSchema& schema, const std::string& id) {
  const auto db = database();
  if (!db) return;
  try {
    const auto predicate = idPredicate(id);
    const auto matches = db->objects(schema, &predicate);
    db->write([&] { db->remove(matches); });
  } catch (const store::Error& e) {
    reportFailure(e);
  }
}

void StoreService::addUpdating(store::Database& database, const std::shared_ptr<store::Object>& object) {
  database.add(object, store::UpdatePolicy::all);
}

void StoreService::updateLayout(const AutoLayoutModelPtr& model) { updateLayouts({model}); }

void StoreService::updateLayouts(const std::vector<AutoLayoutModelPtr>& models) {
  // Each record once, in the order given (the store's): a window laid out twice in a turn names its record twice.
  // Repeats are found by sorting the addresses, so a batch without any builds no set.
  std::vector<const AutoLayoutModel*> sorted;
  sorted.reserve(models.size());
  for (const AutoLayoutModelPtr& model : models)
    if (model && !model->isManaged()) sorted.push_back(model.get());
  std::sort(sorted.begin(), sorted.end());
  const bool repeats = std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
  std::unordered_set<const AutoLayoutModel*> seen;
  std::vector<std::shared_ptr<store::Object>> unstored;
  unstored.reserve(sorted.size());
  for (const AutoLayoutModelPtr& model : models)
    if (model && !model->isManaged() && (!repeats || seen.insert(model.get()).second)) unstored.push_back(model);
  if (unstored.empty()) return;
  const auto db = database();
  if (!db) return;
  std::vector<AutoLayoutModelPtr> stored;
  try {
    db->write([&] {
      const std::vector<bool> added = db->addNew(unstored);
      for (std::size_t i = 0; i < unstored.size(); ++i)
        if (added[i]) stored.push_back(std::static_pointer_cast<AutoLayoutModel>(unstored[i]));
    });
  } catch (const store::Error& e) {
    reportFailure(e);
    return;
  }
  placements_.stored(*db, stored);
  if (LogManager::writes(LogManager::level::debug))
    for (const AutoLayoutModelPtr& model : stored) LogManager::debug("update layout: " + model->description());
}

void StoreService::expectLayout(const AutoLayoutModelPtr& model) { placements_.expect(model); }

}  // namespace tilvane
