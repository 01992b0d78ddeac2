#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace crashreporting {

/// Named notifications without object or user information: the stand-in for the platform's default
/// notification center. Observers run on the posting thread, in the order they were added, before post
/// returns.
class NotificationCenter {
 public:
  using Observer = std::function<void(std::string_view name)>;

  /// The process-wide center (reset with the library's other single instances).
  static NotificationCenter& defaultCenter();

  /// Answers an id for removeObserver; never 0.
  std::uint64_t addObserver(std::string name, Observer observer);
  void removeObserver(std::uint64_t id);
  void postNotificationName(std::string_view name);

 private:
  struct Entry {
    std::uint64_t id;
    std::string name;
    Observer observer;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
  std::uint64_t nextId_ = 1;
};

}  // namespace crashreporting
