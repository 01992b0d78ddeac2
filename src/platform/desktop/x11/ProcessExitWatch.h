#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>

#include "platform/dispatch/MainLoop.h"

namespace tilvane::x11 {

/// Learns when a local process ends, through a pidfd watched by the installed main loop: `onExit` runs once, on
/// a later turn of the loop, after the process is gone. Destroying the watch cancels it. Main thread only.
class ProcessExitWatch {
 public:
  /// Null when the process cannot be watched (it is gone already, belongs to no one we may watch, or the
  /// kernel lacks pidfds, or no main loop is installed).
  static std::unique_ptr<ProcessExitWatch> watch(pid_t pid, std::function<void()> onExit);
  ~ProcessExitWatch();
  ProcessExitWatch(const ProcessExitWatch&) = delete;
  ProcessExitWatch& operator=(const ProcessExitWatch&) = delete;

 private:
  ProcessExitWatch(int fd, dispatch::MainLoop* loop) : fd_(fd), loop_(loop) {}
  void stop();

  int fd_;
  dispatch::MainLoop* loop_;
  dispatch::TaskId watch_ = 0;
  std::shared_ptr<std::function<void()>> onExit_;
};

}  // namespace tilvane::x11
