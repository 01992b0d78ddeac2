#pragma once

#include <concepts>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tilvane::defaults {

class Value;
/// Raw bytes (a property list's data).
using Data = std::vector<std::uint8_t>;
/// An ordered list of values.
using Array = std::vector<Value>;
/// Values by key; lookups take any string-like key.
using Dictionary = std::map<std::string, Value, std::less<>>;

/// One value of the user defaults: the property-list types Boolean, integer, real, string, data, array and
/// dictionary. The typed reads follow the platform's number and string rules, so a Boolean stored as 1 and an
/// integer stored as true read the same.
class Value {
 public:
  using Storage = std::variant<bool, std::int64_t, double, std::string, Data, Array, Dictionary>;

  Value(bool v) : storage_(v) {}
  /// Any integer type but bool; unsigned values above the 64-bit signed range wrap, as in the file format.
  template <std::integral I>
    requires(!std::same_as<I, bool>)
  Value(I v) : storage_(static_cast<std::int64_t>(v)) {}
  Value(double v) : storage_(v) {}
  Value(std::string v) : storage_(std::move(v)) {}
  Value(const char* v) : storage_(std::string(v)) {}
  Value(Data v) : storage_(std::move(v)) {}
  Value(Array v) : storage_(std::move(v)) {}
  Value(Dictionary v) : storage_(std::move(v)) {}

  const Storage& storage() const { return storage_; }
  /// The value when it holds exactly a T, else null.
  template <class T>
  const T* get() const {
    return std::get_if<T>(&storage_);
  }
  /// A Boolean, integer or real.
  bool isNumber() const;

  /// Integer form: numbers truncated toward zero and clamped to the 64-bit range (NaN gives 0); a string's leading
  /// decimal integer ("42abc" gives 42); 0 for anything else.
  std::int64_t integerValue() const;
  /// Boolean form: numbers are true when non-zero; a string is true when, after blanks, a sign and leading zeros,
  /// it starts with Y, y, T, t or a digit 1 to 9; false for anything else.
  bool boolValue() const;
  /// Real form: numbers as they are; a string's leading decimal number; 0 for anything else.
  double doubleValue() const;
  /// Text form: a string as it is, a number as its decimal text (Booleans as "1" and "0"); none for the rest.
  std::optional<std::string> stringValue() const;

  bool operator==(const Value& other) const;

 private:
  Storage storage_;
};

}  // namespace tilvane::defaults
