#include "crashreporting/VizuzodKit/VZDAttributeDictionary.h"

#include <cmath>

#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/VizuzodKit/VZDText.h"

namespace crashreporting {
namespace {

/// The largest decimal number the attribute values were ever measured against (38 digits, exponent 127).
constexpr double kMaxDecimal = 3.402823669209384634633746074317682114e165;

std::string entryText(const Value& key, const Value& value) { return key.description() + ":" + value.description(); }

}  // namespace

VZDAttributeDictionary::VZDAttributeDictionary(const std::optional<Dictionary>& dictionary) {
  if (!dictionary) return;
  for (const auto& [key, value] : *dictionary) addAttribute(value, Value(key));
}

std::string VZDAttributeDictionary::truncateString(const std::string& text) {
  if (VZDUTF16Length(text) <= kMaxLength) return text;
  VZDAlwaysLog("[Vizuzod] Maximum length for an Event attributes exceeded. Truncating to " +
               std::to_string(kMaxLength) + " characters.");
  return VZDPrefixOfUTF16Units(text, kMaxLength);
}

void VZDAttributeDictionary::addAttribute(const Value& value, const Value& key) {
  if (value.isNull() || key.isNull()) return;
  if (raw_.size() >= kMaxEntries) {
    VZDAlwaysLog("[Vizuzod] Maximum number of Event attributes exceeded. Ignoring entry " + entryText(key, value));
    return;
  }
  const std::string* keyText = key.get<std::string>();
  if (!keyText) {
    VZDAlwaysLog("[Vizuzod] Event attribute keys must be of type NSString. Ignoring entry " + entryText(key, value));
    return;
  }
  const bool isString = value.get<std::string>() != nullptr;
  if (!isString && !value.isNumber()) {
    VZDAlwaysLog("[Vizuzod] Event attribute values must be of type NSString or NSNumber. Ignoring entry " +
                 entryText(key, value));
    return;
  }
  std::optional<Value> stored;
  if (isString) {
    stored = Value(truncateString(*value.get<std::string>()));
  } else if (const double* real = value.get<double>(); !(real && std::isnan(*real))) {
    stored = value;
  }
  const std::string cutKey = truncateString(*keyText);
  if (stored) {
    raw_[cutKey] = std::move(*stored);
  } else {
    raw_.erase(cutKey);
  }
}

void VZDAttributeDictionary::addBooleanAttribute(const std::optional<bool>& value, const std::string& key) {
  if (!value) return;
  addAttribute(Value(*value ? "true" : "false"), Value(truncateString(key)));
}

std::optional<Value> VZDAttributeDictionary::serializePriceToMicros(double price) {
  if (price > kMaxDecimal / 1000000.0) {
    VZDAlwaysLog("[Vizuzod] Maximum value for a price attribute exceeded. Ignoring price attribute with value: " +
                 Value(price).description());
    return std::nullopt;
  }
  const double micros = std::round(price * 1000000.0);
  if (std::fabs(micros) < 9.2e18) return Value(static_cast<std::int64_t>(micros));
  return Value(micros);  // NaN included: it is then stored as no value
}

void VZDAttributeDictionary::addPriceAttribute(const std::optional<double>& price, const std::string& key) {
  if (!price) return;
  const auto micros = serializePriceToMicros(*price);
  if (!micros) return;
  addAttribute(*micros, Value(truncateString(key)));
}

}  // namespace crashreporting
