// The migration block of StoreService: schema version 2 and below to 3.
#include <map>

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ModelValues.h"
#include "Models/RuleLayoutModel.h"
#include "platform/store/Migration.h"

namespace tilvane {
namespace {

// Old fractions were stored as integers scaled by this.
constexpr double kFractionScale = 100000000.0;

// Puts the old value of `name` into `values` when it can be read as the new class's property type; a value
// that cannot be read stays out and the new object keeps its default.
void copy(const store::DynamicObject& old, const store::ObjectSchema& schema, std::string_view name,
          store::ValueDictionary& values) {
  const auto index = schema.propertyIndex(name);
  const auto value = old.value(name);
  if (!index || !value) return;
  auto coerced = store::coerceValue(*value, schema.properties()[*index].type);
  if (!std::holds_alternative<std::monostate>(coerced)) values[std::string(name)] = std::move(coerced);
}

void create(store::Migration& migration, const store::ObjectSchema& schema, const store::ValueDictionary& values,
            const store::DynamicObject& old) {
  try {
    migration.create(schema.className(), values);
  } catch (const store::Error& e) {
    LogManager::warning("migration skips " + old.className() + " " + old.stringValue("id").value_or("") + ": " +
                        e.what());
  }
}

void convertLayoutModel(store::Migration& migration, const store::DynamicObject& old,
                        std::map<std::string, std::int64_t>& windowIndexes) {
  const auto bundleIdentifier = old.stringValue("bundleIdentifier");
  const auto screenCount = old.intValue("screenCount");
  const auto x = old.realValue("x");
  const auto y = old.realValue("y");
  const auto width = old.realValue("width");
  const auto height = old.realValue("height");
  std::string missing;
  for (const auto& [name, present] :
       {std::pair{"bundleIdentifier", bundleIdentifier.has_value()}, {"screenCount", screenCount.has_value()},
        {"x", x.has_value()}, {"y", y.has_value()}, {"width", width.has_value()}, {"height", height.has_value()}})
    if (!present) missing += (missing.empty() ? "" : ", ") + std::string(name);
  if (!missing.empty()) {
    LogManager::warning("migration skips LayoutModel " + old.stringValue("id").value_or("") + ": no " + missing);
    return;
  }

  const auto& schema = AutoLayoutModel::schema();
  store::ValueDictionary values;
  copy(old, schema, "id", values);
  copy(old, schema, "bundleIdentifier", values);
  copy(old, schema, "windowID", values);
  const auto [slot, isNew] = windowIndexes.try_emplace(*bundleIdentifier + "-" + std::to_string(*screenCount), 0);
  if (!isNew) ++slot->second;
  values["windowIndex"] = slot->second;
  values["spaceIndex"] = std::int64_t{-1};
  copy(old, schema, "spaceCount", values);
  values["screenIndex"] = std::int64_t{-1};
  values["screenCount"] = *screenCount;
  const auto origin = [](double stored) {
    const double fraction = stored / kFractionScale;
    return fraction < 0.06 ? 0.0 : fraction;
  };
  const auto extent = [](double stored) {
    const double fraction = stored / kFractionScale;
    return fraction > 0.95 ? 1.0 : fraction;
  };
  values["x"] = origin(*x);
  values["y"] = origin(*y);
  values["width"] = extent(*width);
  values["height"] = extent(*height);
  values["updateAt"] = currentWholeSeconds();
  create(migration, schema, values, old);
}

void convertByCopy(store::Migration& migration, const store::DynamicObject& old, const store::ObjectSchema& schema,
                   std::initializer_list<std::string_view> names) {
  store::ValueDictionary values;
  for (const auto name : names) copy(old, schema, name, values);
  create(migration, schema, values, old);
}

}  // namespace

void StoreService::migrate(store::Migration& migration, std::uint64_t oldSchemaVersion) {
  LogManager::debug("migration data");
  if (oldSchemaVersion > 2) return;
  LogManager::debug("start migration");

  std::map<std::string, std::int64_t> windowIndexes;
  migration.enumerateObjects("LayoutModel", [&](const store::DynamicObject& old) {
    convertLayoutModel(migration, old, windowIndexes);
  });
  migration.deleteData("LayoutModel");

  migration.enumerateObjects("AppRuleModel", [&](const store::DynamicObject& old) {
    convertByCopy(migration, old, RuleLayoutModel::schema(), {"id", "type", "matrixValue", "width", "height"});
  });
  migration.deleteData("AppRuleModel");

  migration.enumerateObjects("LayoutRuleModel", [&](const store::DynamicObject& old) {
    convertByCopy(migration, old, CustomLayoutModel::schema(),
                  {"id", "name", "type", "matrixValue", "width", "height", "keyCode", "modifierFlags"});
  });
  migration.deleteData("LayoutRuleModel");

  LogManager::debug("migration end");
}

}  // namespace tilvane
