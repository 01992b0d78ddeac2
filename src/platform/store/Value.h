#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace tilvane::store {

/// The stored types of a property.
enum class PropertyType { integer, real, string, list };

/// One stored value: nothing (absent), a 64-bit integer, a double or a string.
using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

/// Values keyed by property name, as a migration reads and creates them.
using ValueDictionary = std::map<std::string, Value, std::less<>>;

/// The value as it appears in an object's description: numbers in decimal, strings as they are.
std::string describeValue(const Value& value);

/// `value` converted to the property type, or std::monostate when it cannot be: an integer becomes a double
/// for a real property; nothing else is converted.
Value coerceValue(const Value& value, PropertyType type);
/// coerceValue taking the value over: a text of the right type is moved, not copied.
Value coerceValue(Value&& value, PropertyType type);

}  // namespace tilvane::store
