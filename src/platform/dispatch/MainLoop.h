#pragma once

#include <cstdint>
#include <functional>

#include "platform/dispatch/Clock.h"

namespace tilvane::dispatch {

using Task = std::function<void()>;
using TaskId = std::uint64_t;

/// The main thread's queue: all application logic, window calls and database writes run here, one task at a
/// time. Two implementations: QtMainLoop (the real event loop) and VirtualMainLoop (tests, on a virtual clock).
class MainLoop {
 public:
  virtual ~MainLoop() = default;

  virtual const Clock& clock() const = 0;

  /// Runs `task` on the main thread after the tasks already queued. Safe to call from any thread.
  virtual void async(Task task) = 0;

  /// Runs `task` on the main thread `seconds` from now (negative or non-finite delays count as 0). The id lets
  /// the caller cancel it; ids are never 0. Safe to call from any thread.
  virtual TaskId asyncAfter(double seconds, Task task) = 0;

  /// Cancels a task scheduled with asyncAfter that has not started yet. Unknown or finished ids are ignored.
  virtual void cancel(TaskId id) = 0;

  /// Calls `onReadable` on the main thread whenever `fd` has data to read, until unwatchFd. Main thread only.
  virtual TaskId watchFd(int fd, Task onReadable) = 0;
  virtual void unwatchFd(TaskId id) = 0;

  /// Whether the caller runs on the thread that owns this loop.
  virtual bool isMainThread() const = 0;
};

}  // namespace tilvane::dispatch
