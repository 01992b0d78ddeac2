#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/store/Value.h"

namespace tilvane::store {

class Database;

/// A stored object of a class as the file holds it, read by name: what a migration reads from classes that
/// no longer exist (or whose properties changed).
class DynamicObject {
 public:
  DynamicObject(std::string className, ValueDictionary values);

  const std::string& className() const { return className_; }
  const ValueDictionary& values() const { return values_; }
  /// The stored value of `name`; absent when the object has no such property or it holds nothing.
  std::optional<Value> value(std::string_view name) const;
  /// The value when it is stored as an integer.
  std::optional<std::int64_t> intValue(std::string_view name) const;
  /// The value when it is stored as a number (an integer is converted).
  std::optional<double> realValue(std::string_view name) const;
  /// The value when it is stored as text.
  std::optional<std::string> stringValue(std::string_view name) const;

 private:
  std::string className_;
  ValueDictionary values_;
};

/// The operations a migration block may use; valid only during the block.
class Migration {
 public:
  Migration(const Migration&) = delete;
  Migration& operator=(const Migration&) = delete;

  std::uint64_t oldSchemaVersion() const { return oldSchemaVersion_; }

  /// Hands every stored object of `className` (in stored order) to `block`; nothing when the file has no
  /// such class.
  void enumerateObjects(std::string_view className, const std::function<void(const DynamicObject&)>& block);
  /// Stores a new object of a class of the current schema from `values`; properties left out take the
  /// class's defaults. Throws LogicError for an unknown class or property, Error for a primary key taken.
  void create(std::string_view className, const ValueDictionary& values);
  /// Deletes every object of `className`; a class that is not part of the current schema is removed from
  /// the file altogether.
  void deleteData(std::string_view className);

 private:
  friend class Database;
  Migration(Database& database, std::uint64_t oldSchemaVersion)
      : database_(database), oldSchemaVersion_(oldSchemaVersion) {}

  Database& database_;
  std::uint64_t oldSchemaVersion_;
};

}  // namespace tilvane::store
