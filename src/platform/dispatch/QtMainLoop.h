#pragma once

#include <atomic>
#include <memory>

#include "platform/dispatch/MainLoop.h"

namespace tilvane::dispatch {

/// The real main loop: Qt's event loop on the thread that made the QCoreApplication (which must exist before
/// this object). Queued calls, QTimers and socket notifiers carry the work; calls from other threads are
/// posted to the main thread first, so every timer and watcher is touched on that thread only.
class QtMainLoop final : public MainLoop {
 public:
  QtMainLoop();
  ~QtMainLoop() override;
  QtMainLoop(const QtMainLoop&) = delete;
  QtMainLoop& operator=(const QtMainLoop&) = delete;

  const Clock& clock() const override { return clock_; }
  void async(Task task) override;
  TaskId asyncAfter(double seconds, Task task) override;
  void cancel(TaskId id) override;
  TaskId watchFd(int fd, Task onReadable) override;
  void unwatchFd(TaskId id) override;
  bool isMainThread() const override;

  /// Runs the event loop until quit(); returns its exit code.
  int run();
  void quit(int exitCode);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  SystemClock clock_;
  std::atomic<TaskId> nextId_{1};
};

}  // namespace tilvane::dispatch
