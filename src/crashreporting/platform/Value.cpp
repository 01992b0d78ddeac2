#include "crashreporting/platform/Value.h"

#include <cmath>
#include <cstdio>

namespace crashreporting {
namespace {

std::string realText(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  // The shortest text that reads back to the same double.
  char buf[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, d);
    if (std::strtod(buf, nullptr) == d) break;
  }
  return buf;
}

// Strings that are not plain words are quoted in containers, as the old-style format writes them.
std::string quotedIfNeeded(const std::string& s) {
  bool plain = !s.empty();
  for (const char c : s) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '.' || c == '$' || c == '/' || c == ':' || c == '+' || c == '-';
    plain = plain && word;
  }
  if (plain) return s;
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

void describe(const Value& value, int indent, std::string& out, bool inContainer) {
  const std::string pad(static_cast<std::size_t>(indent) * 4, ' ');
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Value::Null>) {
          out += "<null>";
        } else if constexpr (std::is_same_v<T, bool>) {
          out += v ? "1" : "0";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          out += std::to_string(v);
        } else if constexpr (std::is_same_v<T, double>) {
          out += realText(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          out += inContainer ? quotedIfNeeded(v) : v;
        } else if constexpr (std::is_same_v<T, Data>) {
          static constexpr char hex[] = "0123456789abcdef";
          out += "{length = " + std::to_string(v.size()) + ", bytes = 0x";
          for (const std::uint8_t b : v) {
            out.push_back(hex[b >> 4]);
            out.push_back(hex[b & 0x0F]);
          }
          out += "}";
        } else if constexpr (std::is_same_v<T, Array>) {
          out += "(\n";
          for (std::size_t i = 0; i < v.size(); ++i) {
            out += pad + "    ";
            describe(v[i], indent + 1, out, true);
            out += i + 1 < v.size() ? ",\n" : "\n";
          }
          out += pad + ")";
        } else {
          out += "{\n";
          for (const auto& [key, item] : v) {
            out += pad + "    " + quotedIfNeeded(key) + " = ";
            describe(item, indent + 1, out, true);
            out += ";\n";
          }
          out += pad + "}";
        }
      },
      value.storage());
}

}  // namespace

bool Value::isNumber() const {
  return std::holds_alternative<bool>(storage_) || std::holds_alternative<std::int64_t>(storage_) ||
         std::holds_alternative<double>(storage_);
}

bool Value::boolValue() const {
  if (const auto* b = get<bool>()) return *b;
  if (const auto* i = get<std::int64_t>()) return *i != 0;
  if (const auto* d = get<double>()) return *d != 0.0;
  return false;
}

const Value* Value::member(std::string_view key) const {
  const auto* dict = get<Dictionary>();
  if (!dict) return nullptr;
  const auto it = dict->find(key);
  return it == dict->end() ? nullptr : &it->second;
}

std::string Value::description() const {
  std::string out;
  describe(*this, 0, out, false);
  return out;
}

}  // namespace crashreporting
