#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tilvane::bench {

/// The window every method moves: a bare window (no size hints, so the window manager keeps any size) of a
/// child process of its own, as another application's window is. The child is stopped when the object goes.
class TargetWindow {
 public:
  /// Starts the child on `display`; null, with the reason in `error`, when it cannot.
  static std::unique_ptr<TargetWindow> start(const std::string& display, std::string* error);
  ~TargetWindow();
  TargetWindow(const TargetWindow&) = delete;
  TargetWindow& operator=(const TargetWindow&) = delete;

  std::uint32_t window() const { return window_; }
  pid_t pid() const { return pid_; }

 private:
  TargetWindow(pid_t pid, std::uint32_t window) : pid_(pid), window_(window) {}
  pid_t pid_;
  std::uint32_t window_;
};

}  // namespace tilvane::bench
