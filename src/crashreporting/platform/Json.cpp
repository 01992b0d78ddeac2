#include "crashreporting/platform/Json.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "platform/base/Utf8.h"

namespace crashreporting::json {
namespace {

using nlohmann::json;

constexpr int kMaxDepth = 128;

/// Counts nesting on the raw text, so a hostile reply never reaches a deep recursion.
bool nestedTooDeeply(std::string_view text) {
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

Value toValue(const json& j) {
  switch (j.type()) {
    case json::value_t::boolean:
      return Value(j.get<bool>());
    case json::value_t::number_integer:
      return Value(j.get<std::int64_t>());
    case json::value_t::number_unsigned: {
      const auto u = j.get<std::uint64_t>();
      if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return Value(static_cast<std::int64_t>(u));
      return Value(static_cast<double>(u));
    }
    case json::value_t::number_float:
      return Value(j.get<double>());
    case json::value_t::string:
      return Value(j.get<std::string>());
    case json::value_t::array: {
      Array items;
      items.reserve(j.size());
      for (const auto& item : j) items.push_back(toValue(item));
      return Value(std::move(items));
    }
    case json::value_t::object: {
      Dictionary members;
      for (const auto& [key, item] : j.items()) members.insert_or_assign(key, toValue(item));
      return Value(std::move(members));
    }
    default:
      return Value();
  }
}

std::optional<json> toJson(const Value& value, std::string& error) {
  return std::visit(
      [&](const auto& v) -> std::optional<json> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Value::Null>) {
          return json(nullptr);
        } else if constexpr (std::is_same_v<T, double>) {
          if (!std::isfinite(v)) {
            error = "a real that is not finite";
            return std::nullopt;
          }
          return json(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return json(tilvane::sanitizeUtf8(v));
        } else if constexpr (std::is_same_v<T, Data>) {
          error = "data has no JSON form";
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, Array>) {
          json out = json::array();
          for (const auto& item : v) {
            auto j = toJson(item, error);
            if (!j) return std::nullopt;
            out.push_back(std::move(*j));
          }
          return out;
        } else if constexpr (std::is_same_v<T, Dictionary>) {
          json out = json::object();
          for (const auto& [key, item] : v) {
            auto j = toJson(item, error);
            if (!j) return std::nullopt;
            out[tilvane::sanitizeUtf8(key)] = std::move(*j);
          }
          return out;
        } else {
          return json(v);
        }
      },
      value.storage());
}

}  // namespace

std::optional<Value> decode(std::string_view text, std::string& error) {
  if (nestedTooDeeply(text)) {
    error = "nested too deeply";
    return std::nullopt;
  }
  json parsed = json::parse(text, nullptr, false);
  if (parsed.is_discarded()) {
    error = "not JSON";
    return std::nullopt;
  }
  return toValue(parsed);
}

std::optional<std::string> encode(const Value& value, std::string& error) {
  auto j = toJson(value, error);
  if (!j) return std::nullopt;
  return j->dump();
}

}  // namespace crashreporting::json
