#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "platform/desktop/ProgramServer.h"

namespace tilvane::sim {

/// The program server of a SimDesktop: it records what the program asked for itself, so tests can check
/// that a window was made floating or that the program took the keyboard. Main thread only.
class SimProgramServer final : public ProgramServer {
 public:
  // ProgramServer
  void activateIgnoringOtherApps(bool flag) override;
  void orderFront(std::uint64_t windowNumber) override;
  void setWindowLevel(std::uint64_t windowNumber, CGWindowLevel level) override;
  bool isCompositing() const override { return compositing_; }
  /// Starts or stops the compositing manager (SimDesktop::setCompositing also tells the observers).
  void setCompositing(bool compositing) { compositing_ = compositing; }

  // --- inspection ---

  /// Whether the program has been activated (with or without ignoring other applications).
  bool isActive() const { return activations_ > 0; }
  /// Number of activations asked for so far, and how many of them ignored other applications.
  int activations() const { return activations_; }
  int activationsIgnoringOtherApps() const { return ignoringOthers_; }
  /// The window last ordered front (the key window); absent before any was.
  std::optional<std::uint64_t> keyWindow() const { return keyWindow_; }
  /// Called at each activation, after it is counted (to see what the desktop showed then).
  void onActivation(std::function<void()> observer) { activationObserver_ = std::move(observer); }
  /// The level last set for the window; absent when none was.
  std::optional<CGWindowLevel> windowLevel(std::uint64_t windowNumber) const;

 private:
  int activations_ = 0;
  int ignoringOthers_ = 0;
  std::optional<std::uint64_t> keyWindow_;
  std::function<void()> activationObserver_;
  std::map<std::uint64_t, CGWindowLevel> levels_;
  bool compositing_ = true;
};

}  // namespace tilvane::sim
