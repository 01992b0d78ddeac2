#include "platform/store/Predicate.h"

#include <cctype>
#include <charconv>

#include "platform/store/StoreError.h"

namespace tilvane::store {
namespace {

// A hand-written scanner over the small grammar of Predicate; any deviation is an error naming the position.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::vector<Predicate::Condition> conditions() {
    std::vector<Predicate::Condition> result;
    result.push_back(condition());
    while (skipSpace(), pos_ < text_.size()) {
      if (!conjunction()) fail("expected AND");
      result.push_back(condition());
    }
    return result;
  }

 private:
  Predicate::Condition condition() {
    skipSpace();
    std::string name = identifier();
    skipSpace();
    if (!consume("==") && !consume("=")) fail("expected '='");
    skipSpace();
    return {std::move(name), literal()};
  }

  std::string identifier() {
    const std::size_t start = pos_;
    if (pos_ < text_.size() && (std::isalpha(uc(text_[pos_])) || text_[pos_] == '_'))
      while (pos_ < text_.size() && (std::isalnum(uc(text_[pos_])) || text_[pos_] == '_')) ++pos_;
    if (pos_ == start) fail("expected a property name");
    return std::string(text_.substr(start, pos_ - start));
  }

  Value literal() {
    if (pos_ >= text_.size()) fail("expected a value");
    const char c = text_[pos_];
    if (c == '\'' || c == '"') return quotedText(c);
    if (c == '-' || std::isdigit(uc(c))) return integer();
    fail("expected a quoted text or an integer");
  }

  Value quotedText(char quote) {
    ++pos_;
    std::string value;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == quote) return value;
      if (c == '\\') {
        if (pos_ >= text_.size()) break;
        const char escaped = text_[pos_++];
        if (escaped != '\'' && escaped != '"' && escaped != '\\') fail("unsupported escape");
        value.push_back(escaped);
      } else {
        value.push_back(c);
      }
    }
    fail("unterminated text");
  }

  Value integer() {
    const std::size_t start = pos_;
    if (text_[pos_] == '-') ++pos_;
    while (pos_ < text_.size() && std::isdigit(uc(text_[pos_]))) ++pos_;
    if (pos_ < text_.size() && (std::isalpha(uc(text_[pos_])) || text_[pos_] == '.' || text_[pos_] == '_'))
      fail("expected an integer");
    std::int64_t value = 0;
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) fail("expected an integer in the 64-bit range");
    return value;
  }

  bool conjunction() {
    if (consume("&&")) return true;
    if (text_.size() - pos_ >= 3) {
      const auto word = text_.substr(pos_, 3);
      const bool isAnd = (word == "AND" || word == "and");
      const bool separated = pos_ + 3 == text_.size() || std::isspace(uc(text_[pos_ + 3]));
      if (isAnd && separated) {
        pos_ += 3;
        return true;
      }
    }
    return false;
  }

  bool consume(std::string_view token) {
    if (text_.substr(pos_, token.size()) != token) return false;
    pos_ += token.size();
    return true;
  }

  void skipSpace() {
    while (pos_ < text_.size() && std::isspace(uc(text_[pos_]))) ++pos_;
  }

  [[noreturn]] void fail(const char* what) const {
    throw QueryError("unsupported predicate \"" + std::string(text_) + "\": " + what + " at position " +
                     std::to_string(pos_));
  }

  static unsigned char uc(char c) { return static_cast<unsigned char>(c); }

  std::string_view text_;
  std::size_t pos_ = 0;
};

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

Predicate Predicate::parse(std::string_view text) {
  Predicate p;
  p.conditions_ = Parser(text).conditions();
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

std::string quoteText(std::string_view text) {
  std::string result = "'";
  for (const char c : text) {
    if (c == '\'' || c == '\\') result.push_back('\\');
    result.push_back(c);
  }
  result.push_back('\'');
  return result;
}

}  // namespace tilvane::store
