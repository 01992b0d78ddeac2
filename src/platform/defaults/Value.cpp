#include "platform/defaults/Value.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tilvane::defaults {
namespace {

// Converting a real outside the integer range is undefined in C++; clamp instead.
std::int64_t clampToInteger(double v) {
  constexpr double kTwo63 = 9223372036854775808.0;
  if (std::isnan(v)) return 0;
  if (v >= kTwo63) return std::numeric_limits<std::int64_t>::max();
  if (v < -kTwo63) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(v);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view skipBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::int64_t parseInteger(std::string_view s) {
  s = skipBlanks(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // Accumulate as a negative number so the minimum fits; saturate on overflow.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t acc = 0;
  bool overflow = false;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    if (acc < (kMin + digit) / 10) {
      overflow = true;
      break;
    }
    acc = acc * 10 - digit;
  }
  if (overflow) return negative ? kMin : std::numeric_limits<std::int64_t>::max();
  if (negative) return acc;
  return acc == kMin ? std::numeric_limits<std::int64_t>::max() : -acc;
}

double parseReal(std::string_view s) {
  s = skipBlanks(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  double v = 0;
  // from_chars ignores the locale, unlike strtod under a desktop locale with a decimal comma.
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // A negative exponent underflows to zero; anything else overflows to infinity.
    const std::string_view matched(s.data(), static_cast<std::size_t>(ptr - s.data()));
    const auto e = matched.find_first_of("eE");
    const bool tiny = e != std::string_view::npos && e + 1 < matched.size() && matched[e + 1] == '-';
    v = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (ec != std::errc()) {
    v = 0;
  }
  return negative ? -v : v;
}

bool parseBool(std::string_view s) {
  s = skipBlanks(s);
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) s.remove_prefix(1);
  while (!s.empty() && s.front() == '0') s.remove_prefix(1);
  if (s.empty()) return false;
  const char c = s.front();
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::string realText(double v) {
  char buf[64];
  const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, ptr) : std::string("0");
}

}  // namespace

bool Value::isNumber() const {
  return std::holds_alternative<bool>(storage_) || std::holds_alternative<std::int64_t>(storage_) ||
         std::holds_alternative<double>(storage_);
}

std::int64_t Value::integerValue() const {
  if (const auto* b = get<bool>()) return *b ? 1 : 0;
  if (const auto* i = get<std::int64_t>()) return *i;
  if (const auto* d = get<double>()) return clampToInteger(*d);
  if (const auto* s = get<std::string>()) return parseInteger(*s);
  return 0;
}

bool Value::boolValue() const {
  if (const auto* b = get<bool>()) return *b;
  if (const auto* i = get<std::int64_t>()) return *i != 0;
  if (const auto* d = get<double>()) return *d != 0.0;
  if (const auto* s = get<std::string>()) return parseBool(*s);
  return false;
}

double Value::doubleValue() const {
  if (const auto* b = get<bool>()) return *b ? 1.0 : 0.0;
  if (const auto* i = get<std::int64_t>()) return static_cast<double>(*i);
  if (const auto* d = get<double>()) return *d;
  if (const auto* s = get<std::string>()) return parseReal(*s);
  return 0.0;
}

std::optional<std::string> Value::stringValue() const {
  if (const auto* s = get<std::string>()) return *s;
  if (const auto* b = get<bool>()) return std::string(*b ? "1" : "0");
  if (const auto* i = get<std::int64_t>()) return std::to_string(*i);
  if (const auto* d = get<double>()) return realText(*d);
  return std::nullopt;
}

bool Value::operator==(const Value& other) const { return storage_ == other.storage_; }

}  // namespace tilvane::defaults
