#pragma once

#include <new>
#include <utility>

namespace crashreporting {

/// An object that is never destroyed. The library's queues may still read a function-local table while the
/// host returns from main and static destructors run, and threads still start and end then; a destroyed table
/// would crash the exit and leave a crash report of a clean run. What it holds stays reachable, so leak checkers
/// do not count it.
template <class T>
class Immortal {
 public:
  /// Built from what `make` returns, once.
  template <class Make>
  explicit Immortal(Make make) {
    ::new (static_cast<void*>(storage_)) T(make());
  }
  Immortal(const Immortal&) = delete;
  Immortal& operator=(const Immortal&) = delete;

  const T& get() const { return *std::launder(reinterpret_cast<const T*>(storage_)); }
  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace crashreporting
