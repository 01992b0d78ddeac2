#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/dispatch/MainLoop.h"

namespace tilvane::dispatch {

/// A clock that moves only when its loop is advanced. Time is kept as whole nanoseconds since the start, so
/// delays add up exactly and due times compare exactly, whatever the start instant.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(double start) : start_(start) {}
  double now() const override;
  /// Nanoseconds since the start.
  std::int64_t elapsedNanos() const;
  void setElapsedNanos(std::int64_t ns);

 private:
  const double start_;
  std::atomic<std::int64_t> elapsed_{0};  // read from any thread
};

/// The main loop of tests: nothing runs until the test drains or advances it, and time is virtual, so every
/// delay of the program is exercised without waiting. Tasks run in order of due time, then of scheduling.
class VirtualMainLoop final : public MainLoop {
 public:
  /// Default start: 2024-03-05 12:00:00 UTC, a fixed instant so tests are reproducible.
  explicit VirtualMainLoop(double startTime = 1709640000.0);

  const Clock& clock() const override { return clock_; }
  void async(Task task) override;
  TaskId asyncAfter(double seconds, Task task) override;
  void cancel(TaskId id) override;
  TaskId watchFd(int fd, Task onReadable) override;
  void unwatchFd(TaskId id) override;
  bool isMainThread() const override;

  /// Runs everything due up to now + seconds, in time order, including work that due work schedules within
  /// that span; then the clock stands at now + seconds. Returns the number of tasks run.
  std::size_t advance(double seconds);
  /// Runs what is due now (queued async work and anything it queues), without moving the clock.
  std::size_t drain() { return advance(0); }
  /// Advances until no task is left or `limit` seconds have passed; returns the tasks run.
  std::size_t runUntilIdle(double limit = 3600);

  double now() const { return clock_.now(); }
  /// Seconds since the loop was made, without the rounding of the absolute clock.
  double elapsed() const { return static_cast<double>(clock_.elapsedNanos()) / 1e9; }
  std::size_t pendingCount() const;
  /// Due time of the earliest pending task, or a negative value when none is pending.
  double nextDueTime() const;

  /// Calls the watchers of `fd` as if it had become readable.
  void notifyReadable(int fd);
  /// Calls the watchers of each watched descriptor that has data to read now (a real pipe, socket or notification
  /// descriptor), as the real loop would on its next turn; returns how many descriptors were readable.
  std::size_t notifyReadableWatched();

 private:
  struct Key {
    std::int64_t due;  // nanoseconds since the start
    TaskId id;
    bool operator<(const Key& o) const { return due != o.due ? due < o.due : id < o.id; }
  };
  bool runOne(std::int64_t limit);

  VirtualClock clock_;
  mutable std::mutex mutex_;
  std::map<Key, Task> tasks_;
  /// async() work, in order: it cannot be cancelled and falls due in the order it was posted.
  std::deque<std::pair<Key, Task>> posted_;
  std::map<TaskId, std::int64_t> dueById_;
  std::map<TaskId, std::pair<int, Task>> watchers_;
  TaskId nextId_ = 1;
  std::thread::id owner_;
};

}  // namespace tilvane::dispatch
