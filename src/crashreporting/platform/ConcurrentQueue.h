#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace crashreporting {

/// A concurrent queue: tasks start in the order given and run side by side on a pool of threads that grows
/// while every thread is busy, up to `maxThreads`. The stand-in for a global dispatch queue. The threads share the
/// queue's state, so a task may drop the last owner of its own queue.
class ConcurrentQueue {
 public:
  explicit ConcurrentQueue(std::string label, std::size_t maxThreads = 64);
  /// Runs what is still queued, then ends the threads.
  ~ConcurrentQueue();
  ConcurrentQueue(const ConcurrentQueue&) = delete;
  ConcurrentQueue& operator=(const ConcurrentQueue&) = delete;

  /// The process-wide queue that operation queues and completion blocks run on. It lives until the process ends.
  static ConcurrentQueue& global();

  const std::string& label() const;
  void async(std::function<void()> task);

 private:
  struct State;

  static void run(const std::shared_ptr<State>& state);

  const std::shared_ptr<State> state_;
  std::vector<std::thread> threads_;  // grown under the state's lock
};

}  // namespace crashreporting
