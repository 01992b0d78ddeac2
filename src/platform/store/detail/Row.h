#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/store/Value.h"

namespace tilvane::store {

class Database;
class Object;
class ObjectSchema;

namespace detail {

/// The values of one object. Unmanaged, it belongs to one object and its list properties live in `lists`.
/// Stored, it mirrors one row of its class's table and is shared by every accessor of that row on one
/// database instance, so a change made through one accessor is seen through all of them.
struct Row {
  explicit Row(const ObjectSchema& s) : schema(&s) {}

  const ObjectSchema* schema;
  std::vector<Value> values;
  /// Contents of the list properties while unmanaged (indexed like the properties; empty for scalars).
  std::vector<std::vector<std::shared_ptr<Object>>> lists;
  /// The database instance that stores the row; null while unmanaged.
  std::shared_ptr<Database> owner;
  /// Set when the row was deleted (or its creation rolled back).
  bool invalidated = false;
  /// The objects that present this row; the first live one is what reads return.
  std::vector<std::weak_ptr<Object>> accessors;

  const std::string& primaryKeyValue() const;
  /// The first live accessor, if any.
  std::shared_ptr<Object> accessor() const;
};

}  // namespace detail
}  // namespace tilvane::store
