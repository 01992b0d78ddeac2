#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace crashreporting {

/// A serial queue: tasks run one at a time, in the order given, on the queue's own thread (started with the
/// first task). The library's stand-in for a serial dispatch queue.
class SerialQueue {
 public:
  explicit SerialQueue(std::string label);
  /// Runs what is still queued, then ends the thread.
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  const std::string& label() const { return label_; }
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
  /// Queues `task`, starting the thread with the first one; its number in submission order.
  std::uint64_t enqueue(std::function<void()> task);
  void run();

  const std::string label_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<std::function<void()>> tasks_;
  std::uint64_t submitted_ = 0;
  std::uint64_t completed_ = 0;  // tasks run and released
  bool stopping_ = false;
  std::thread worker_;
  std::thread::id workerId_;
};

}  // namespace crashreporting
