#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "crashreporting/platform/ForkedChild.h"

namespace crashreporting {

/// A serial queue: tasks run one at a time, in the order given, on the queue's own thread (started with the
/// first task). The library's stand-in for a serial dispatch queue. The thread shares the queue's state, so a task
/// may drop the last owner of its own queue: the thread then runs what is left and ends by itself.
class SerialQueue {
 public:
  explicit SerialQueue(std::string label);
  /// Runs what is still queued, then ends the thread. In a child forked without exec, which has no such thread,
  /// it leaves the queue's state as it is.
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  const std::string& label() const;
  void async(std::function<void()> task);
  /// Runs `task` on the queue after what is queued before it, and waits until it has run and what the queue held
  /// for it is released. Called from a task of this queue, it runs at once (where a dispatch queue would
  /// deadlock).
  void sync(const std::function<void()>& task);
  /// sync() that hands back what `task` answers.
  template <class F>
  auto syncResult(F&& task) -> decltype(task()) {
    std::optional<decltype(task())> result;
    sync([&] { result.emplace(task()); });
    return std::move(*result);
  }
  /// Whether the calling thread is running a task of this queue.
  bool isCurrent() const;

 private:
  struct State;

  /// Queues `task`, starting the thread with the first one; its number in submission order.
  std::uint64_t enqueue(std::function<void()> task);
  static void run(const std::shared_ptr<State>& state);

  const std::shared_ptr<State> state_;
  std::thread worker_;  // only the owner touches it
  OwningProcess workerProcess_;  // where worker_ runs
};

}  // namespace crashreporting
