#pragma once

#include <functional>

#include "platform/dispatch/MainQueue.h"

namespace tilvane {

/// An opacity animation on the main loop's clock: from a start value to a target over a duration, applied in
/// steps of about 1/60 s, ending exactly at the target when the duration is up. Starting another fade or
/// cancelling drops the running one with its completion. Main thread only.
class AlphaFade {
 public:
  using Apply = std::function<void(double alpha)>;

  AlphaFade() = default;
  AlphaFade(const AlphaFade&) = delete;
  AlphaFade& operator=(const AlphaFade&) = delete;

  /// Fades from `from` to `to` over `duration` seconds, calling `apply` with each value (first with `from`,
  /// last with `to`); then calls `completion` (may be null).
  void start(double from, double to, double duration, Apply apply, std::function<void()> completion);
  void cancel();
  bool isRunning() const { return end_.isPending(); }

 private:
  dispatch::RepeatingTimer steps_;
  dispatch::ScopedTimer end_;
};

}  // namespace tilvane
