#include "platform/store/Migration.h"

#include <vector>

#include "platform/store/Database.h"
#include "platform/store/detail/Sql.h"

namespace tilvane::store {

DynamicObject::DynamicObject(std::string className, ValueDictionary values)
    : className_(std::move(className)), values_(std::move(values)) {}

std::optional<Value> DynamicObject::value(std::string_view name) const {
  const auto it = values_.find(name);
  if (it == values_.end() || std::holds_alternative<std::monostate>(it->second)) return std::nullopt;
  return it->second;
}

std::optional<std::int64_t> DynamicObject::intValue(std::string_view name) const {
  const auto v = value(name);
  if (const auto* i = v ? std::get_if<std::int64_t>(&*v) : nullptr) return *i;
  return std::nullopt;
}

std::optional<double> DynamicObject::realValue(std::string_view name) const {
  const auto v = value(name);
  if (!v) return std::nullopt;
  if (const auto* d = std::get_if<double>(&*v)) return *d;
  if (const auto* i = std::get_if<std::int64_t>(&*v)) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<std::string> DynamicObject::stringValue(std::string_view name) const {
  const auto v = value(name);
  if (const auto* s = v ? std::get_if<std::string>(&*v) : nullptr) return *s;
  return std::nullopt;
}

void Migration::enumerateObjects(std::string_view className,
                                 const std::function<void(const DynamicObject&)>& block) {
  auto& connection = *database_.connection_;
  std::vector<DynamicObject> objects;
  {
    auto exists = connection.statement("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1");
    exists->bind(1, std::string(className));
    if (!exists->step() || exists->int64(0) == 0) return;
  }
  {
    auto rows = connection.statement("SELECT * FROM " + detail::quoteIdentifier(className) + " ORDER BY rowid");
    while (rows->step()) {
      ValueDictionary values;
      for (int c = 0; c < rows->columnCount(); ++c) values[rows->columnName(c)] = rows->value(c);
      objects.emplace_back(std::string(className), std::move(values));
    }
  }
  // Read everything first: the block creates objects, which must not run beside an open statement.
  for (const auto& object : objects) block(object);
}

void Migration::create(std::string_view className, const ValueDictionary& values) {
  const ObjectSchema* schema = database_.knownSchema(className);
  if (!schema) throw LogicError("cannot create an object of unknown class '" + std::string(className) + "'");
  database_.add(schema->makeObject(values), UpdatePolicy::error);
}

void Migration::deleteData(std::string_view className) {
  auto& connection = *database_.connection_;
  std::vector<std::string> tables;
  {
    auto list = connection.statement(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND "
        "(name = ?1 OR substr(name, 1, length(?1) + 1) = ?1 || '.')");
    list->bind(1, std::string(className));
    while (list->step()) tables.push_back(std::get<std::string>(list->value(0)));
  }
  const bool current = database_.knownSchema(className) != nullptr;
  connection.clearStatementCache();
  for (const auto& table : tables)
    connection.exec((current ? "DELETE FROM " : "DROP TABLE ") + detail::quoteIdentifier(table));
  database_.changedClasses_.insert(std::string(className));
}

}  // namespace tilvane::store
