#pragma once

#include <string>
#include <vector>

#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {

/// Keeps the running program in step with its settings file when another instance or a hand edit changes it:
/// once a second it looks whether the file changed (a few stat calls), waits until it stands still for a moment
/// (an editor writing it in pieces), reads it again as at start and hands the keys whose values changed to the
/// hot-key bindings (ShortcutDefaults) and to the rest of the program (AppBridge::settingsChanged), which act on
/// them as they act on the user's own changes. Its own saves are no change. Main thread only.
class SettingsFollower {
 public:
  /// How often the file is looked at, and how long it must stand still before it is read.
  static constexpr double kInterval = 1.0;
  static constexpr double kSettle = 0.25;

  /// Starts looking at the standard defaults' file (looked up at each look, so a reset of the shared instances is
  /// followed).
  SettingsFollower();
  SettingsFollower(const SettingsFollower&) = delete;
  SettingsFollower& operator=(const SettingsFollower&) = delete;

 private:
  void look();
  void follow(const std::vector<std::string>& keys);

  dispatch::RepeatingTimer timer_;
  dispatch::ScopedTimer settle_;
};

}  // namespace tilvane
