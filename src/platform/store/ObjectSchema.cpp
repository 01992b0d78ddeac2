#include "platform/store/ObjectSchema.h"

#include <set>

#include "platform/store/Object.h"
#include "platform/store/StoreError.h"

namespace tilvane::store {

Property Property::integer(std::string name, std::int64_t defaultValue) {
  return {std::move(name), PropertyType::integer, [defaultValue] { return Value(defaultValue); }, nullptr};
}

Property Property::integer(std::string name, std::function<std::int64_t()> makeDefault) {
  return {std::move(name), PropertyType::integer, [f = std::move(makeDefault)] { return Value(f()); }, nullptr,
          true};
}

Property Property::real(std::string name, double defaultValue) {
  return {std::move(name), PropertyType::real, [defaultValue] { return Value(defaultValue); }, nullptr};
}

Property Property::string(std::string name, std::string defaultValue) {
  return {std::move(name), PropertyType::string, [v = std::move(defaultValue)] { return Value(v); }, nullptr};
}

Property Property::string(std::string name, std::function<std::string()> makeDefault) {
  return {std::move(name), PropertyType::string, [f = std::move(makeDefault)] { return Value(f()); }, nullptr,
          true};
}

Property Property::list(std::string name, const ObjectSchema& (*targetSchema)()) {
  return {std::move(name), PropertyType::list, nullptr, targetSchema};
}

ObjectSchema::ObjectSchema(std::string className, std::vector<Property> properties, Factory factory)
    : className_(std::move(className)), properties_(std::move(properties)), factory_(std::move(factory)) {
  std::set<std::string_view> names;
  bool hasKey = false;
  for (std::size_t i = 0; i < properties_.size(); ++i) {
    const auto& p = properties_[i];
    if (!names.insert(p.name).second)
      throw LogicError("class '" + className_ + "' repeats the property '" + p.name + "'");
    if (p.type == PropertyType::list ? p.targetSchema == nullptr : !p.makeDefault)
      throw LogicError("property '" + className_ + "." + p.name + "' is incomplete");
    if (p.name == primaryKey) {
      if (p.type != PropertyType::string)
        throw LogicError("the primary key of '" + className_ + "' must be a string");
      primaryKeyIndex_ = i;
      hasKey = true;
    }
  }
  if (!hasKey) throw LogicError("class '" + className_ + "' has no primary key \"id\"");
  for (std::size_t i = 0; i < properties_.size(); ++i) {
    const auto& p = properties_[i];
    const bool fixed = p.type != PropertyType::list && !p.freshDefault;
    fixedDefaults_.push_back(fixed ? p.makeDefault() : Value{});
    if (p.type != PropertyType::list && p.freshDefault) freshDefaults_.push_back(i);
    hasLists_ = hasLists_ || p.type == PropertyType::list;
  }
}

std::optional<std::size_t> ObjectSchema::propertyIndex(std::string_view name) const {
  for (std::size_t i = 0; i < properties_.size(); ++i)
    if (properties_[i].name == name) return i;
  return std::nullopt;
}

std::shared_ptr<Object> ObjectSchema::makeObject() const { return factory_(); }

std::shared_ptr<Object> ObjectSchema::makeObject(const ValueDictionary& values) const {
  auto object = factory_();
  for (const auto& [name, value] : values) {
    const auto index = propertyIndex(name);
    if (!index) throw LogicError("class '" + className_ + "' has no property '" + name + "'");
    const auto& property = properties_[*index];
    if (property.type == PropertyType::list)
      throw LogicError("list property '" + className_ + "." + name + "' cannot be set from a value");
    if (std::holds_alternative<std::monostate>(value)) continue;
    Value coerced = coerceValue(value, property.type);
    if (std::holds_alternative<std::monostate>(coerced))
      throw LogicError("wrong type of value for '" + className_ + "." + name + "'");
    object->assignUnmanaged(*index, std::move(coerced));
  }
  return object;
}

}  // namespace tilvane::store
