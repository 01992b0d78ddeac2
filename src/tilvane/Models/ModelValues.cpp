#include "Models/ModelValues.h"

#include <cmath>

#include "platform/dispatch/MainQueue.h"

namespace tilvane {

std::int64_t currentWholeSeconds() { return truncatedToInteger(dispatch::MainQueue::clock().now()); }

std::int64_t truncatedToInteger(double value) {
  // [-2^63, 2^63) is exactly the range whose truncation fits; NaN fails both comparisons.
  constexpr double limit = 9223372036854775808.0;
  if (!(value >= -limit && value < limit)) return 0;
  return static_cast<std::int64_t>(std::trunc(value));
}

}  // namespace tilvane
