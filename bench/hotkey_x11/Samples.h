#pragma once

#include <string>
#include <vector>

namespace tilvane::bench {

/// The latencies of one method, in milliseconds, and the moves that never showed.
struct Samples {
  std::string method;
  std::vector<double> milliseconds;
  int timeouts = 0;

  /// The median and the 95th percentile (nearest rank); 0 without samples.
  double median() const { return percentile(50); }
  double p95() const { return percentile(95); }
  double percentile(double p) const;
};

}  // namespace tilvane::bench
