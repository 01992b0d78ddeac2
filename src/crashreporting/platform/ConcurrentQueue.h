#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace crashreporting {

/// A concurrent queue: tasks start in the order given and run side by side on a pool of threads that grows
/// while every thread is busy, up to `maxThreads`. The stand-in for a global dispatch queue.
class ConcurrentQueue {
 public:
  explicit ConcurrentQueue(std::string label, std::size_t maxThreads = 64);
  /// Runs what is still queued, then ends the threads.
  ~ConcurrentQueue();
  ConcurrentQueue(const ConcurrentQueue&) = delete;
  ConcurrentQueue& operator=(const ConcurrentQueue&) = delete;

  /// The process-wide queue that operation queues and completion blocks run on. It lives until the process ends.
  static ConcurrentQueue& global();

  const std::string& label() const { return label_; }
  void async(std::function<void()> task);

 private:
  void run();

  const std::string label_;
  const std::size_t maxThreads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> threads_;
  std::size_t idle_ = 0;
  bool stopping_ = false;
};

}  // namespace crashreporting
