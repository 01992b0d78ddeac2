#include "crashreporting/VizuzodKit/VZDBackoffTimer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

namespace crashreporting {
namespace {

constexpr double kMinimumBase = 2.0;

}  // namespace

VZDBackoffTimer::VZDBackoffTimer(double initialValue, double jitterCoefficient)
    : initialValue_(initialValue), jitterCoefficient_(jitterCoefficient) {
  std::random_device device;
  for (unsigned short& word : randomState_) word = static_cast<unsigned short>(device());
}

void VZDBackoffTimer::executeBlockAfterNextInterval(std::function<void()> block) {
  ++retryCount_;
  const double seconds = computeDelayForInitialValue(initialValue_, retryCount_);
  const auto delay = std::chrono::nanoseconds(static_cast<std::int64_t>(seconds * 1e9));
  const VZDScheduler scheduler = scheduler_ ? scheduler_ : VZDMainQueueScheduler();
  scheduler(delay, std::move(block));
}

double VZDBackoffTimer::computeDelayForInitialValue(double initialValue, std::uint64_t retryCount) {
  // std::max keeps 2 for a NaN initial value.
  const double base = std::max(kMinimumBase, initialValue);
  const double exponent = retryCount == 0 ? 1.0 : static_cast<double>(retryCount);
  const double delay = std::pow(base, exponent) * generateRandomJitter();
  if (!std::isfinite(delay) || delay > kMaximumDelay) return kMaximumDelay;
  return delay;
}

double VZDBackoffTimer::generateRandomJitter() {
  const double c = jitterCoefficientIsValid(jitterCoefficient_) ? jitterCoefficient_ : kDefaultJitterCoefficient;
  return randomDoubleWithMin(1.0 - c, 1.0 + c);
}

double VZDBackoffTimer::randomDoubleWithMin(double min, double max) {
  const double uniform = uniform_ ? uniform_() : erand48(randomState_);
  const double value = uniform * (max - min) + min;
  // Rounding must not reach the open upper end.
  return value < max || max <= min ? value : std::nextafter(max, min);
}

}  // namespace crashreporting
