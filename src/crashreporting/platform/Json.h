#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/platform/Value.h"

namespace crashreporting::json {

/// The value of a JSON text. Integers that fit 64 signed bits stay integers, others become reals. None, with a
/// reason in `error`, for text that is not JSON or is nested deeper than any reply we read.
std::optional<Value> decode(std::string_view text, std::string& error);

/// `value` as compact JSON text; none, with a reason, for data or a real that is not finite (JSON has neither).
std::optional<std::string> encode(const Value& value, std::string& error);

}  // namespace crashreporting::json
