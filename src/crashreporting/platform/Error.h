#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// The user-information key of an error's own description.
inline constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";

/// A failure as the library passes it on: a domain, an integer code and user information. Plain values go in
/// `userInfo`; lists of further errors (the failures of sub-steps) in `errorLists`, under their own keys.
struct Error {
  std::string domain;
  std::int64_t code = 0;
  Dictionary userInfo;
  std::map<std::string, std::vector<Error>, std::less<>> errorLists;

  /// The description under kLocalizedDescriptionKey, else a text made of domain and code.
  std::string localizedDescription() const;
  /// "Error Domain=<domain> Code=<code> \"<localized description>\"", for log lines.
  std::string description() const;
  /// The list under `key`; empty when there is none.
  const std::vector<Error>& errorList(std::string_view key) const;

  bool operator==(const Error& other) const = default;
};

}  // namespace crashreporting
