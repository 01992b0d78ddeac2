#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/store/Value.h"

namespace tilvane::store {

class Object;
class ObjectSchema;

/// One persisted field of a model class: its name, stored type and default. A list property holds ordered
/// references to objects of another class instead of a value.
struct Property {
  std::string name;
  PropertyType type = PropertyType::string;
  /// Makes the default of a scalar property; called for every new object, so a default may be fresh each
  /// time (a new UUID, the current time, a localised text).
  std::function<Value()> makeDefault;
  /// The element class of a list property.
  const ObjectSchema& (*targetSchema)() = nullptr;
  /// Whether makeDefault makes a fresh value each time; otherwise it is made once, with the schema.
  bool freshDefault = false;
  /// Whether the column has an index of its own, for the queries that select by it. Not part of the stored
  /// format: a file without the index gains it when it is opened for writing.
  bool indexed = false;

  /// This property with an index on its column.
  Property withIndex() && {
    indexed = true;
    return std::move(*this);
  }

  static Property integer(std::string name, std::int64_t defaultValue = 0);
  static Property integer(std::string name, std::function<std::int64_t()> makeDefault);
  static Property real(std::string name, double defaultValue = 0.0);
  static Property string(std::string name, std::string defaultValue = {});
  static Property string(std::string name, std::function<std::string()> makeDefault);
  static Property list(std::string name, const ObjectSchema& (*targetSchema)());
};

/// The description of a model class: its name (also its table's name), its properties in stored order, and
/// how to make a new instance. Every class has the string primary key "id".
class ObjectSchema {
 public:
  using Factory = std::function<std::shared_ptr<Object>()>;

  /// Throws LogicError when the properties lack a string "id" or repeat a name.
  ObjectSchema(std::string className, std::vector<Property> properties, Factory factory);

  static constexpr std::string_view primaryKey = "id";

  const std::string& className() const { return className_; }
  const std::vector<Property>& properties() const { return properties_; }
  std::optional<std::size_t> propertyIndex(std::string_view name) const;
  std::size_t primaryKeyIndex() const { return primaryKeyIndex_; }
  /// Every property's default made once (nothing for lists and fresh defaults), and the properties whose
  /// default is made afresh for each object.
  const std::vector<Value>& fixedDefaults() const { return fixedDefaults_; }
  const std::vector<std::size_t>& freshDefaults() const { return freshDefaults_; }
  /// Whether any property is a list.
  bool hasLists() const { return hasLists_; }

  /// A new unmanaged object holding the defaults.
  std::shared_ptr<Object> makeObject() const;
  /// A new unmanaged object holding the defaults, then `values` (absent values keep the default). Throws
  /// LogicError for an unknown property, a list property, or a value of the wrong type.
  std::shared_ptr<Object> makeObject(const ValueDictionary& values) const;

 private:
  std::string className_;
  std::vector<Property> properties_;
  Factory factory_;
  std::size_t primaryKeyIndex_ = 0;
  std::vector<Value> fixedDefaults_;
  std::vector<std::size_t> freshDefaults_;
  bool hasLists_ = false;
};

}  // namespace tilvane::store
