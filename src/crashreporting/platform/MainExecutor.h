#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "crashreporting/platform/SerialQueue.h"

namespace crashreporting {

/// The library's main queue. By default its tasks run in order on a thread of the library's own; a host with
/// an event loop of its own may instead drive it (driveByHost), and its tasks then run inside the host's
/// pump() calls, on the host's thread.
class MainExecutor {
 public:
  MainExecutor();
  static MainExecutor& shared();

  /// From now on tasks wait for pump(). Tasks queued on the own thread before are not moved.
  void driveByHost();
  bool isHostDriven() const;

  void async(std::function<void()> task);
  /// Host-driven only: runs the tasks queued so far, in order (not those they queue), and answers how many ran.
  std::size_t pump();

 private:
  mutable std::mutex mutex_;
  bool hostDriven_ = false;
  std::deque<std::function<void()>> pending_;
  std::unique_ptr<SerialQueue> thread_;
};

}  // namespace crashreporting
