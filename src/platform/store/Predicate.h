#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store/Value.h"

namespace tilvane::store {

/// A filter of a query: one or more "property = value" conditions joined with AND. Values are kept apart from
/// the text and bound as parameters, so no value can change the query's meaning.
///
/// Build it from parts (Predicate::equals("bundleIdentifier", b).andEquals("windowID", w)) or parse the text
/// form, which accepts exactly
///     condition (AND condition)*      condition: name = 'text' | name = integer
/// with `==` for `=`, `and`/`&&` for AND, and \' \" \\ escapes inside quoted text ('…' or "…"). Everything else
/// is rejected with QueryError. The property names are checked against the class when the query runs.
class Predicate {
 public:
  struct Condition {
    std::string property;
    Value value;
    bool operator==(const Condition&) const = default;
  };

  static Predicate equals(std::string property, std::string_view value);
  static Predicate equals(std::string property, std::int64_t value);
  Predicate andEquals(std::string property, std::string_view value) const;
  Predicate andEquals(std::string property, std::int64_t value) const;

  /// Throws QueryError for text that is not of the form above.
  static Predicate parse(std::string_view text);

  const std::vector<Condition>& conditions() const { return conditions_; }
  /// The text form, with strings quoted so that parse() gives this predicate back.
  std::string format() const;

  bool operator==(const Predicate&) const = default;

 private:
  Predicate() = default;
  std::vector<Condition> conditions_;
};

/// `text` between single quotes, with quotes and backslashes escaped, for the text form of a predicate.
std::string quoteText(std::string_view text);

}  // namespace tilvane::store
