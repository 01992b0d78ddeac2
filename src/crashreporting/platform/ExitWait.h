#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace crashreporting {

/// What the library finishes when its host exits normally (a return from main, exit()), within one bound for all
/// of it: every part is first told to start nothing the exit could cut (so none starts an upload while another is
/// waited for), then each is waited for until the one deadline.
class ExitWait {
 public:
  static constexpr double kSeconds = 2.0;
  struct Part {
    /// Returns at once: from now on nothing new is started.
    std::function<void()> stop;
    /// Waits, at most until the deadline; whether everything was done.
    std::function<bool(std::chrono::steady_clock::time_point deadline)> finish;
  };

  /// The process's one; the first part added registers the exit handler, which runs it for kSeconds.
  static ExitWait& shared();
  /// Parts added in a process are never run in a child it forked: the threads they wait for are not there.
  void add(Part part);
  /// Stops every part, then finishes each until `bound` from now; whether all finished in time.
  bool run(std::chrono::steady_clock::duration bound);

 private:
  struct Added {
    Part part;
    pid_t process;
  };
  std::mutex mutex_;
  std::vector<Added> parts_;
};

}  // namespace crashreporting
