#pragma once

#include <string_view>

#include "crashreporting/platform/Value.h"

// Settings and configuration values read as truths the one way the platform reads them, for every kit.

namespace crashreporting {

/// A text read as a truth value the way the platform's string-to-bool does: leading spaces, an optional sign
/// and leading zeros, then "Y", "y", "T", "t" or a digit 1–9 is true; anything else is false ("007" is true).
bool VRDBoolFromText(std::string_view text);
/// A number's truth, or a text's as above; false for anything else.
bool VRDBoolValue(const Value& value);

}  // namespace crashreporting
