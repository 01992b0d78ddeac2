#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace tilvane {

/// Registry of the process-wide shared instances, so a test can start from fresh ones.
class SharedInstances {
 public:
  /// Destroys every shared instance made so far (newest first); the next shared() makes a new one.
  static void resetAll();
  static void registerReset(std::function<void()> reset);
};

/// The lazily made shared instance of T (`X::shared()`). Main thread only, like its users.
/// Use: `static LayoutManager& shared() { return SharedInstance<LayoutManager>::get(); }`
template <class T>
class SharedInstance {
 public:
  static T& get() {
    auto& slot = instance();
    if (!slot) {
      slot = std::make_unique<T>();
      static std::once_flag registered;
      std::call_once(registered, [] { SharedInstances::registerReset([] { instance().reset(); }); });
    }
    return *slot;
  }
  static bool exists() { return instance() != nullptr; }
  static void reset() { instance().reset(); }

 private:
  static std::unique_ptr<T>& instance() {
    static std::unique_ptr<T> slot;
    return slot;
  }
};

}  // namespace tilvane
