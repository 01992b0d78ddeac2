#pragma once

#include <cstdint>
#include <functional>

#include "crashreporting/VizuzodKit/VZDScheduler.h"

namespace crashreporting {

/// Exponential back-off with jitter for one upload: the n-th interval is max(2, initial value) to the power
/// n, times a factor drawn uniformly from [1 − c, 1 + c). Not thread-safe: its owner serialises the calls.
class VZDBackoffTimer {
 public:
  /// A uniform number in [0, 1).
  using UniformSource = std::function<double()>;

  /// The single-precision 0.1, widened.
  static constexpr double kDefaultJitterCoefficient = static_cast<double>(0.1f);
  /// The longest interval: Retry-After values and high powers are cut to one week, so the nanoseconds of a
  /// delay never overflow.
  static constexpr double kMaximumDelay = 7 * 24 * 3600.0;

  VZDBackoffTimer() : VZDBackoffTimer(0.0) {}
  explicit VZDBackoffTimer(double initialValue) : VZDBackoffTimer(initialValue, kDefaultJitterCoefficient) {}
  /// `jitterCoefficient` should be valid (jitterCoefficientIsValid); an invalid one draws with the default.
  VZDBackoffTimer(double initialValue, double jitterCoefficient);

  /// Counts one more retry and hands `block` to the scheduler (by default: the main queue) after that
  /// retry's interval.
  void executeBlockAfterNextInterval(std::function<void()> block);
  /// Seconds: max(2, initialValue) ^ (retryCount, or 1 when 0) × jitter, at most kMaximumDelay.
  double computeDelayForInitialValue(double initialValue, std::uint64_t retryCount);
  /// A factor in [1 − c, 1 + c) for the coefficient c (the default when the timer's is not valid).
  double generateRandomJitter();
  double randomDoubleWithMin(double min, double max);
  static bool jitterCoefficientIsValid(double coefficient) { return coefficient >= 0.0 && coefficient < 1.0; }

  std::uint64_t retryCount() const { return retryCount_; }
  void setRetryCount(std::uint64_t count) { retryCount_ = count; }
  double initialValue() const { return initialValue_; }
  void setInitialValue(double seconds) { initialValue_ = seconds; }
  double jitterCoefficient() const { return jitterCoefficient_; }
  void setJitterCoefficient(double coefficient) { jitterCoefficient_ = coefficient; }

  void setScheduler(VZDScheduler scheduler) { scheduler_ = std::move(scheduler); }
  /// Replaces the 48-bit generator (tests fix the jitter with it).
  void setUniformSource(UniformSource source) { uniform_ = std::move(source); }

 private:
  std::uint64_t retryCount_ = 0;
  double initialValue_;
  double jitterCoefficient_;
  VZDScheduler scheduler_;
  UniformSource uniform_;
  unsigned short randomState_[3] = {};
};

}  // namespace crashreporting
