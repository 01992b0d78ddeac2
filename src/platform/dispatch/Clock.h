#pragma once

namespace tilvane::dispatch {

/// Wall-clock time in seconds since 1970-01-01 00:00 UTC. The main loop's clock is the one time source of the
/// program: timers fire on it, and stored time stamps and log file names read it, so a test that fixes the
/// virtual clock fixes them all.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;
};

/// The real time of the machine.
class SystemClock final : public Clock {
 public:
  double now() const override;
};

}  // namespace tilvane::dispatch
