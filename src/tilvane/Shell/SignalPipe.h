#pragma once

#include <functional>

namespace tilvane {

/// Turns SIGINT, SIGTERM and SIGHUP into a call on the main loop, so a stop from the terminal or the session, or
/// either going away, ends the program the orderly way (pending placements written) instead of killing it
/// mid-write.
class SignalPipe {
 public:
  explicit SignalPipe(std::function<void(int signal)> onSignal);
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

 private:
  std::function<void(int)> onSignal_;
  unsigned long long watch_ = 0;
};

}  // namespace tilvane
