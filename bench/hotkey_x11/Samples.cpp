#include "Samples.h"

#include <algorithm>
#include <cmath>

namespace tilvane::bench {

double Samples::percentile(double p) const {
  if (milliseconds.empty()) return 0;
  std::vector<double> sorted = milliseconds;
  std::sort(sorted.begin(), sorted.end());
  // Nearest rank: the smallest value with at least p % of the samples at or below it.
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace tilvane::bench
