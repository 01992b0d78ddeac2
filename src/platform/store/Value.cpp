#include "platform/store/Value.h"

#include <fmt/format.h>

#include <utility>

namespace tilvane::store {

std::string describeValue(const Value& value) {
  struct Describe {
    std::string operator()(std::monostate) const { return "nil"; }
    std::string operator()(std::int64_t v) const { return fmt::format("{}", v); }
    std::string operator()(double v) const { return fmt::format("{}", v); }
    std::string operator()(const std::string& v) const { return v; }
  };
  return std::visit(Describe{}, value);
}

Value coerceValue(const Value& value, PropertyType type) {
  switch (type) {
    case PropertyType::integer:
      if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
      break;
    case PropertyType::real:
      if (const auto* d = std::get_if<double>(&value)) return *d;
      if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
      break;
    case PropertyType::string:
      if (const auto* s = std::get_if<std::string>(&value)) return *s;
      break;
    case PropertyType::list:
      break;
  }
  return std::monostate{};
}

Value coerceValue(Value&& value, PropertyType type) {
  if (type == PropertyType::string && std::holds_alternative<std::string>(value)) return std::move(value);
  return coerceValue(std::as_const(value), type);
}

}  // namespace tilvane::store
