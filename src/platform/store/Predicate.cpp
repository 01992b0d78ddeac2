#include "platform/store/Predicate.h"

namespace tilvane::store {
namespace {

// Between single quotes, with quotes and backslashes escaped.
std::string quoteText(std::string_view text) {
  std::string result = "'";
  for (const char c : text) {
    if (c == '\'' || c == '\\') result.push_back('\\');
    result.push_back(c);
  }
  result.push_back('\'');
  return result;
}

}  // namespace

Predicate Predicate::equals(std::string property, std::string_view value) {
  Predicate p;
  p.conditions_.push_back({std::move(property), std::string(value)});
  return p;
}

Predicate Predicate::equals(std::string property, std::int64_t value) {
  Predicate p;
  p.conditions_.push_back({std::move(property), value});
  return p;
}

Predicate Predicate::andEquals(std::string property, std::string_view value) const {
  Predicate p = *this;
  p.conditions_.push_back({std::move(property), std::string(value)});
  return p;
}

Predicate Predicate::andEquals(std::string property, std::int64_t value) const {
  Predicate p = *this;
  p.conditions_.push_back({std::move(property), value});
  return p;
}

std::string Predicate::format() const {
  std::string text;
  for (const auto& c : conditions_) {
    if (!text.empty()) text += " AND ";
    text += c.property + " = ";
    if (const auto* s = std::get_if<std::string>(&c.value))
      text += quoteText(*s);
    else
      text += describeValue(c.value);
  }
  return text;
}

}  // namespace tilvane::store
