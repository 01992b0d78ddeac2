#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilvane {

/// One "name=value" item of a URL's query, percent-decoded. An item written without "=" has no value.
struct URLQueryItem {
  std::string name;
  std::optional<std::string> value;
};

/// The parts of a URL that the URL scheme reads. The text comes from any program, so it is only ever split and
/// compared: it is bounded in length and checked character by character.
struct URLComponents {
  /// The longest text parse() accepts.
  static constexpr std::size_t maxLength = 8192;

  /// Splits an absolute or relative URL; absent when it is longer than maxLength, holds a character a URL may
  /// not hold (spaces, controls, non-ASCII bytes) or a bad percent escape, or has a port that is not a number.
  static std::optional<URLComponents> parse(std::string_view text);

  /// The percent-decoded host; absent without an authority ("//").
  std::optional<std::string> host;
  /// The query's items in URL order; absent without a "?".
  std::optional<std::vector<URLQueryItem>> queryItems;
};

}  // namespace tilvane
