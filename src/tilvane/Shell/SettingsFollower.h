#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/filewatch/FileWatch.h"

namespace tilvane {

/// Keeps the running program in step with its settings file when another instance or a hand edit changes it: the
/// system tells it when the file may have changed (platform/filewatch), so it sleeps until then. Once the file
/// stood still for a moment (an editor writing it in pieces) it is read again as at start, and the keys whose
/// values changed go to the hot-key bindings (ShortcutDefaults) and to the rest of the program
/// (AppBridge::settingsChanged), which act on them as they act on the user's own changes. A file that does not
/// read whole is taken for damage only once it stayed so, unchanged, for kDamageWait: a slow writer's pause is
/// none. Its own saves are no change. Main thread only.
class SettingsFollower {
 public:
  /// How long the file must stand still before it is read, and how long more a file that does not read whole
  /// before it is taken for damaged.
  static constexpr double kSettle = 0.25;
  static constexpr double kDamageWait = 2.0;

  /// Follows the standard defaults' file.
  SettingsFollower();
  SettingsFollower(const SettingsFollower&) = delete;
  SettingsFollower& operator=(const SettingsFollower&) = delete;

 private:
  /// The file may have changed: it is looked at once it stood still.
  void touched();
  void look();
  void follow(const std::vector<std::string>& keys);

  dispatch::ScopedTimer settle_;
  dispatch::ScopedTimer damage_;
  std::unique_ptr<filewatch::FileWatch> watch_;
};

}  // namespace tilvane
