#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Samples.h"

namespace tilvane::bench {

/// What a run measures and how often.
struct MeasurementPlan {
  std::string display;
  std::uint32_t window = 0;
  int moves = 200;   ///< timed moves per method
  int warmup = 10;   ///< untimed moves per method first
  int settleMs = 20; ///< pause after each move, so the next starts on a quiet desktop (not timed)
  /// Asks Tilvane, on its main thread, whether it manages the window and holds its hot keys.
  std::function<bool()> tilvaneReady;
  /// Returns once Tilvane's main loop has run what was queued before the call.
  std::function<void()> tilvaneIdle;
};

/// Runs on its own thread while Tilvane's main loop runs: waits until Tilvane is ready, activates the target,
/// learns the two target rectangles from Tilvane's own hot keys, then moves the window between them by every
/// method in turn (round robin, so drift hits all alike). Empty, with the reason in `error`, when it cannot.
std::vector<Samples> measure(const MeasurementPlan& plan, std::string* error);

}  // namespace tilvane::bench
