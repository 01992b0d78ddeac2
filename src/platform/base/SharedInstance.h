#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <new>

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
///
/// Only resets end an instance, never the exit handlers: those would destroy the instances in the order their
/// slots happened to be made, after the main loop and the backends they use are gone. The composition root
/// ends them in its own order; one it did not end stays reachable until the process is gone.
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
    alignas(std::unique_ptr<T>) static unsigned char storage[sizeof(std::unique_ptr<T>)];
    static std::unique_ptr<T>* const slot = ::new (storage) std::unique_ptr<T>();  // no destructor at exit
    return *slot;
  }
};

}  // namespace tilvane
