#pragma once

#include "platform/dispatch/MainLoop.h"

namespace tilvane::dispatch {

/// Process-wide access to the installed main loop, the stand-in for the platform's main dispatch queue.
/// The composition root (the application or a test fixture) installs one loop with MainQueue::Scope; code that
/// must hop to the main thread calls MainQueue::async and friends. Without an installed loop those calls run
/// nothing and return 0, and clock() answers the system clock.
class MainQueue {
 public:
  /// Installs `loop` for the lifetime of the scope and restores the previous one after.
  class Scope {
   public:
    explicit Scope(MainLoop& loop);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    MainLoop* previous_;
  };

  static MainLoop* loop();
  static const Clock& clock();
  static void async(Task task);
  static TaskId asyncAfter(double seconds, Task task);
  static void cancel(TaskId id);
  /// True when no loop is installed (single-threaded tools) or the caller is on the loop's thread.
  static bool isMainThread();
};

/// A one-shot timer that is cancelled when its owner lets it go, so a task never runs after the object that
/// scheduled it is gone. Rescheduling replaces the pending task.
class ScopedTimer {
 public:
  ScopedTimer() = default;
  ~ScopedTimer() { cancel(); }
  ScopedTimer(const ScopedTimer&) = delete;
  ScopedTimer& operator=(const ScopedTimer&) = delete;

  void schedule(double seconds, Task task);
  void cancel();
  bool isPending() const { return id_ != 0; }

 private:
  TaskId id_ = 0;
};

/// A repeating timer on the main loop: `task` runs every `interval` seconds until stop() or destruction.
class RepeatingTimer {
 public:
  RepeatingTimer() = default;
  ~RepeatingTimer() { stop(); }
  RepeatingTimer(const RepeatingTimer&) = delete;
  RepeatingTimer& operator=(const RepeatingTimer&) = delete;

  void start(double interval, Task task);
  void stop();
  bool isRunning() const { return id_ != 0; }

 private:
  void arm();
  double interval_ = 0;
  Task task_;
  TaskId id_ = 0;
};

}  // namespace tilvane::dispatch
