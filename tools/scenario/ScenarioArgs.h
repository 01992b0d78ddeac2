#pragma once

// Reading a scenario's arguments and printing what it shows.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "platform/desktop/Geometry.h"

namespace tilvane::scenario {

/// `text` as a whole finite number; false when it is anything else.
inline bool number(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

/// `text` as a whole 64-bit integer (grid values need all 64 bits); false when it is anything else.
inline bool integer(const std::string& text, std::int64_t& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

/// Reads `count` numbers from args[from...]; false when any is missing or not a number.
inline bool numbers(const std::vector<std::string>& args, std::size_t from, std::size_t count,
                    std::vector<double>& out) {
  if (args.size() < from + count) return false;
  out.clear();
  for (std::size_t i = from; i < from + count; ++i) {
    double v = 0;
    if (!number(args[i], v)) return false;
    out.push_back(v);
  }
  return true;
}

/// A frame as the runner prints it.
inline std::string describe(const CGRect& r) {
  std::ostringstream s;
  s << std::setprecision(10) << r;
  return s.str();
}

}  // namespace tilvane::scenario
