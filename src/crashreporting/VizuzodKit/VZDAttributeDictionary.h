#pragma once

#include <optional>
#include <string>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// The attributes of one event, checked and converted as they are added: at most 21 entries, string keys,
/// string or number values, keys and strings cut to 100 UTF-16 units, prices in micros, Booleans as
/// "true"/"false". Refused entries are dropped one by one with a system-log line.
class VZDAttributeDictionary {
 public:
  static constexpr std::size_t kMaxEntries = 21;
  static constexpr std::size_t kMaxLength = 100;

  VZDAttributeDictionary() = default;
  /// Adds every entry of `dictionary` through addAttribute, in its order.
  explicit VZDAttributeDictionary(const std::optional<Dictionary>& dictionary);

  /// A null value or key adds nothing. A value that converts to no value (NaN) removes the key's entry.
  void addAttribute(const Value& value, const Value& key);
  void addBooleanAttribute(const std::optional<bool>& value, const std::string& key);
  /// The price in micros; a price above the largest decimal number / 1000000 is refused.
  void addPriceAttribute(const std::optional<double>& price, const std::string& key);

  const Dictionary& dictionaryRepresentation() const { return raw_; }
  std::string description() const { return Value(raw_).description(); }

  static std::string truncateString(const std::string& text);
  /// The price × 1000000, rounded to a whole micro; none (with a line) above the limit.
  static std::optional<Value> serializePriceToMicros(double price);

 private:
  Dictionary raw_;
};

}  // namespace crashreporting
