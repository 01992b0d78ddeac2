#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <new>

namespace crashreporting {

/// The library's process-wide single instances, so a test (or a host that starts over) can begin from fresh
/// ones as if in a new process.
class ProcessShared {
 public:
  /// Destroys every instance made so far, newest first; the next get() makes a new one.
  static void resetAll();
  static void registerReset(std::function<void()> reset);
};

/// The single instance of T, made on first use; safe when first used from several threads at once. It is not
/// destroyed at exit (its threads may still run), only by resets.
template <class T>
class Shared {
 public:
  static T& get() {
    const std::lock_guard lock(mutex());
    auto& slot = instance();
    if (!slot) {
      slot = std::make_unique<T>();
      static std::once_flag registered;
      std::call_once(registered, [] { ProcessShared::registerReset([] { reset(); }); });
    }
    return *slot;
  }
  static bool exists() {
    const std::lock_guard lock(mutex());
    return instance() != nullptr;
  }
  static void reset() {
    std::unique_ptr<T> old;
    {
      const std::lock_guard lock(mutex());
      old = std::move(instance());
    }
  }

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static std::unique_ptr<T>& instance() {
    alignas(std::unique_ptr<T>) static unsigned char storage[sizeof(std::unique_ptr<T>)];
    static std::unique_ptr<T>* const slot = ::new (storage) std::unique_ptr<T>();
    return *slot;
  }
};

}  // namespace crashreporting
