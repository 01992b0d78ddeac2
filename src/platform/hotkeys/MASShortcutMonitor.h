#pragma once

#include <functional>
#include <map>

#include "platform/hotkeys/MASShortcut.h"

namespace tilvane {

class HotKeyServer;

/// The program's global hot keys: each registered shortcut is taken from the installed HotKeyServer and its
/// action runs on the main loop whenever the combination is pressed, wherever the focus is. One action per
/// shortcut: registering a shortcut again replaces its action. The monitor lets go of every combination it
/// holds when it goes. Main thread only.
class MASShortcutMonitor {
 public:
  /// What a press runs, on the main loop.
  using Action = std::function<void()>;

  /// The one monitor, made on first use (sharedMonitor).
  static MASShortcutMonitor& sharedMonitor();
  /// Whether the shared monitor has been made.
  static bool exists();

  MASShortcutMonitor() = default;
  ~MASShortcutMonitor();
  MASShortcutMonitor(const MASShortcutMonitor&) = delete;
  MASShortcutMonitor& operator=(const MASShortcutMonitor&) = delete;

  /// Takes the combination and binds `action` to it. False when the combination cannot be taken (another
  /// program holds it, no key has that code, or no backend is installed); nothing is registered then. A
  /// shortcut registered already keeps its combination and gets the new action (true).
  bool registerShortcut(const MASShortcut& shortcut, Action action);
  /// The same for a caller that reports a refusal itself (once, with what the hot key is for): why the
  /// combination cannot be taken goes to `refusal`, and the backend reports nothing.
  bool registerShortcut(const MASShortcut& shortcut, Action action, std::string& refusal);
  /// Lets the combination go and forgets its action; a shortcut not registered is ignored.
  void unregisterShortcut(const MASShortcut& shortcut);
  /// Whether the shortcut is registered (its combination taken by this monitor).
  bool isShortcutRegistered(const MASShortcut& shortcut) const;

 private:
  friend class HotKeyServer;
  /// Runs the action of a pressed shortcut, if one is registered.
  void handlePress(const MASShortcut& shortcut);

  std::map<MASShortcut, Action> actions_;
};

}  // namespace tilvane
