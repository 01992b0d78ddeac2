#pragma once

#include <concepts>
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace crashreporting {

class Value;
/// Raw bytes.
using Data = std::vector<std::uint8_t>;
using Array = std::vector<Value>;
/// Values by key; lookups take any string-like key.
using Dictionary = std::map<std::string, Value, std::less<>>;

/// A property-list or JSON value: null, Boolean, integer, real, string, data, array or dictionary. Null exists
/// for JSON; a property list cannot hold it.
class Value {
 public:
  struct Null {
    bool operator==(const Null&) const = default;
  };
  using Storage = std::variant<Null, bool, std::int64_t, double, std::string, Data, Array, Dictionary>;

  Value() = default;
  Value(Null) {}
  Value(bool v) : storage_(v) {}
  template <std::integral I>
  requires(!std::same_as<I, bool>) Value(I v) : storage_(static_cast<std::int64_t>(v)) {}
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
  bool isNull() const { return std::holds_alternative<Null>(storage_); }
  /// A Boolean, integer or real.
  bool isNumber() const;
  /// A number's truth: true when non-zero; false for anything that is not a number.
  bool boolValue() const;
  /// The member `key` of a dictionary value; null when this is no dictionary or has no such member.
  const Value* member(std::string_view key) const;

  /// The text a value prints as: a string as it is, an integer in decimal, a Boolean as 1 or 0, a real in its
  /// shortest exact form, null as "<null>", data as "{length = N, bytes = 0x…}", arrays and dictionaries in the
  /// bracketed, indented form of the old-style property lists.
  std::string description() const;

  bool operator==(const Value& other) const = default;

 private:
  Storage storage_;
};

}  // namespace crashreporting
