#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// Builds an endpoint's address: a base, path pieces, then query parameters ("?" before the first, "&"
/// between the others).
class ZIZURLBuilder {
 public:
  static ZIZURLBuilder URLWithBase(std::string_view base);

  /// Appends the text as it is.
  void appendComponent(std::string_view component);
  /// The text with every character that may not stand in a URL percent-escaped (UTF-8); the reserved ones
  /// ("/", "?", "&", "=", ":", …) stay as they are.
  static std::string escapeString(std::string_view text);
  void escapeAndAppendComponent(std::string_view component);
  /// Appends "name=value" (the value escaped; a value that is no string as its description). A missing
  /// value appends nothing and is not counted.
  void appendValue(const std::optional<Value>& value, std::string_view queryParam);

  const std::string& URLString() const { return urlString_; }
  /// The address; none when the text is not an absolute http(s) URL.
  std::optional<std::string> URL() const;

 private:
  std::string urlString_;
  std::uint64_t queryParams_ = 0;
};

}  // namespace crashreporting
