#pragma once

#include <cstdint>

namespace tilvane {

/// The current time of the main loop's clock in whole seconds since 1970, fractions cut off toward zero: the
/// creation stamp of new records.
std::int64_t currentWholeSeconds();

/// `value` cut toward zero to a whole number; a non-finite value, or one outside the 64-bit range, gives 0
/// (such a coordinate has no meaning, and converting it would be undefined).
std::int64_t truncatedToInteger(double value);

}  // namespace tilvane
