#pragma once

#include "platform/dispatch/MainQueue.h"

namespace tilvane {

/// The usage ping: once shortly after start, then every two hours while the process runs.
class AnalyticsManager {
 public:
  static AnalyticsManager& shared();

  /// Posts the first ping after the current main-queue task and starts the 7200 s timer.
  void schedule();
  /// One ping.
  void start();

 private:
  dispatch::ScopedTimer first_;
  dispatch::RepeatingTimer timer_;
};

}  // namespace tilvane
