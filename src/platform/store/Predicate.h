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
/// Built from parts: Predicate::equals("bundleIdentifier", b).andEquals("windowID", w). The property names are
/// checked against the class when the query runs.
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

  const std::vector<Condition>& conditions() const { return conditions_; }
  /// The text form, for messages: "name = 'text' AND name = 42".
  std::string format() const;

  bool operator==(const Predicate&) const = default;

 private:
  Predicate() = default;
  std::vector<Condition> conditions_;
};

}  // namespace tilvane::store
