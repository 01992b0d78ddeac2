#pragma once

#include <cstdint>
#include <string>

namespace tilvane {

/// The names and typed access of the user settings in the standard user defaults. A namespace of statics: the
/// settings whose absence needs a default, or whose writing has a side effect, have accessors here; the other
/// keys are read and written by their users directly, with the key constants from here.
class UserDefaultsService {
 public:
  UserDefaultsService() = delete;

  /// "launchAtLogin": integer, 1 = start at login.
  static const std::string& launchAtLoginKey();
  /// "hideInMenuBar": integer, 1 = the status-bar icon is hidden.
  static const std::string& hideInMenuBarKey();
  /// "enabled": integer, set to 1 once the process may read and move windows.
  static const std::string& enabledKey();
  /// "autoLayoutEnabled": integer, 1 = lay out new windows by rules and remembered placements; 1 when absent.
  static const std::string& autoLayoutEnabledKey();
  /// "showBuildInLayoutAction": Boolean; false when absent.
  static const std::string& showBuildInLayoutActionKey();
  /// "gutterEnabled": Boolean, keep gaps between windows; false when absent.
  static const std::string& gutterEnabledKey();

  /// The getters keep nothing: each call reads what the standard defaults hold, the file as last read or written
  /// (the program reads it again when another instance or a hand edit changes it). They read only a value of the
  /// setting's type: an absent key and a value of another type (reported once) both read as the default.
  /// The Boolean under "showBuildInLayoutAction"; false when nothing is stored.
  static bool showBuildInLayoutAction();
  /// The Boolean under "gutterEnabled"; false when nothing is stored.
  static bool gutterEnabled();
  /// The integer under "autoLayoutEnabled"; 1 when nothing is stored. Callers compare it with 1.
  static std::int64_t autoLayoutEnabled();
  /// The integer under "hideInMenuBar"; 0 when nothing is stored.
  static std::int64_t hideInMenuBar();
  /// Reads each setting above once, so a value of the wrong type among them is reported at start.
  static void reportMistypedSettings();

  /// Stores `value` under "hideInMenuBar", writes the defaults at once, then publishes value == 1 on
  /// AppBridge::hideInMenuBarChanged(). False when it could not be saved: nothing is published then.
  static bool setHideInMenuBar(std::int64_t value);
  /// Stores `value` under "autoLayoutEnabled" and writes the defaults at once. For 1 it also schedules, on the
  /// main queue, a layout of every window by the installed LayoutAllTarget; it runs after this returns. False when
  /// it could not be saved: nothing is scheduled then.
  static bool setAutoLayoutEnabled(std::int64_t value);
  /// Flips "autoLayoutEnabled" as the file holds it now (another instance may have flipped it since it was
  /// read): 0 when it is 1 (or absent), else 1, with what setAutoLayoutEnabled does for that value.
  static bool toggleAutoLayoutEnabled();
};

}  // namespace tilvane
