#pragma once

namespace tilvane {

/// Starting the program when the user logs in. Each call answers true when the program now will (enable) or
/// will no longer (disable) start at login, false when that could not be done; a failure changes nothing.
class LaunchAtLogin {
 public:
  virtual ~LaunchAtLogin() = default;
  virtual bool enableLaunchAtLogin() = 0;
  virtual bool disableLaunchAtLogin() = 0;
  /// Whether the program starts at login now, as the system has it (not as the settings say).
  virtual bool isLaunchAtLoginEnabled() const = 0;
};

}  // namespace tilvane
