#include "platform/store/Object.h"

#include "platform/store/Database.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/Row.h"

namespace tilvane::store {

Object::Object(const ObjectSchema& schema) : schema_(&schema), row_(std::make_shared<detail::Row>(schema)) {
  const auto& properties = schema.properties();
  row_->values = schema.fixedDefaults();
  for (const std::size_t i : schema.freshDefaults()) row_->values[i] = properties[i].makeDefault();
  // Only an unmanaged object's list properties use these.
  if (schema.hasLists()) row_->lists.resize(properties.size());
}

Object::~Object() = default;

bool Object::isManaged() const { return row_->owner != nullptr; }

bool Object::isInvalidated() const { return row_->invalidated; }

std::shared_ptr<Database> Object::database() const { return row_->owner; }

const std::string& Object::primaryKeyValue() const { return row_->primaryKeyValue(); }

std::int64_t Object::intValue(std::size_t property) const {
  const auto* v = std::get_if<std::int64_t>(&row_->values.at(property));
  return v ? *v : 0;
}

double Object::realValue(std::size_t property) const {
  const auto* v = std::get_if<double>(&row_->values.at(property));
  return v ? *v : 0.0;
}

const std::string& Object::stringValue(std::size_t property) const {
  static const std::string none;
  const auto* v = std::get_if<std::string>(&row_->values.at(property));
  return v ? *v : none;
}

void Object::setValue(std::size_t property, Value value) {
  const auto& p = schema_->properties().at(property);
  Value coerced = coerceValue(std::move(value), p.type);
  if (std::holds_alternative<std::monostate>(coerced))
    throw LogicError("wrong type of value for '" + schema_->className() + "." + p.name + "'");
  if (row_->owner)
    row_->owner->setValue(*row_, property, std::move(coerced));
  else
    row_->values[property] = std::move(coerced);
}

void Object::setValue(std::size_t property, std::int64_t value) {
  if (!row_->owner && schema_->properties().at(property).type == PropertyType::integer)
    row_->values[property] = value;
  else
    setValue(property, Value{value});
}

void Object::setValue(std::size_t property, double value) {
  if (!row_->owner && schema_->properties().at(property).type == PropertyType::real)
    row_->values[property] = value;
  else
    setValue(property, Value{value});
}

void Object::assignUnmanaged(std::size_t property, Value value) { row_->values.at(property) = std::move(value); }

detail::ListRef Object::listRef(std::size_t property) const {
  if (schema_->properties().at(property).type != PropertyType::list)
    throw LogicError("'" + schema_->className() + "." + schema_->properties()[property].name + "' is not a list");
  return detail::ListRef(row_, property);
}

std::string Object::description() const {
  if (row_->invalidated) return "[invalid object]";
  std::string text = schema_->className() + " {";
  const auto& properties = schema_->properties();
  for (std::size_t i = 0; i < properties.size(); ++i) {
    text += (i == 0 ? " " : "; ") + properties[i].name + " = ";
    if (properties[i].type != PropertyType::list) {
      text += describeValue(row_->values[i]);
      continue;
    }
    text += "[";
    const auto elements = detail::ListRef(row_, i).snapshot();
    for (std::size_t e = 0; e < elements.size(); ++e) text += (e ? ", " : "") + elements[e]->primaryKeyValue();
    text += "]";
  }
  return text + " }";
}

void detail::copyValues(const Object& from, Object& to) {
  if (to.isManaged()) throw LogicError("can only copy into an unmanaged object");
  if (from.schema_->className() != to.schema_->className())
    throw LogicError("cannot copy a '" + from.schema_->className() + "' into a '" + to.schema_->className() + "'");
  to.row_->values = from.row_->values;
  const auto& properties = from.schema_->properties();
  for (std::size_t i = 0; i < properties.size(); ++i) {
    if (properties[i].type != PropertyType::list) continue;
    to.row_->values[i] = Value{};
    to.row_->lists[i] = ListRef(from.row_, i).snapshot();
  }
}

}  // namespace tilvane::store
