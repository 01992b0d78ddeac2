#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/hotkeys/MASShortcut.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

class HotKeyServer;

/// The program's global hot keys: each registered shortcut is taken from the installed HotKeyServer and its
/// action runs on the main loop whenever the combination is pressed, wherever the focus is. One action per
/// shortcut: registering a shortcut again replaces its action. A shortcut registered to wait for its combination
/// is asked for again every few seconds until another program lets it go. The monitor lets go of every
/// combination it holds when it goes. Main thread only.
class MASShortcutMonitor {
 public:
  /// What a press runs, on the main loop.
  using Action = std::function<void()>;
  /// Seconds between two requests for the combinations that wait.
  static constexpr double kRetryInterval = 2.0;

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
  /// As the one above, but a combination the backend refuses stays wanted with its action: it is asked for again
  /// every kRetryInterval seconds on the main loop's clock and taken once it is free (announced on
  /// shortcutTaken()). Answers whether it is held now. Without a backend nothing waits.
  bool registerShortcutWhenFree(const MASShortcut& shortcut, Action action, std::string& refusal);
  /// Lets the combination go (or stops waiting for it) and forgets its action; a shortcut not registered is
  /// ignored.
  void unregisterShortcut(const MASShortcut& shortcut);
  /// Whether the shortcut is registered and its combination taken by this monitor.
  bool isShortcutRegistered(const MASShortcut& shortcut) const;
  /// Whether the shortcut is registered and waits for its combination.
  bool isShortcutWaiting(const MASShortcut& shortcut) const { return waiting_.contains(shortcut); }
  /// The shortcuts that wait, in their order.
  std::vector<MASShortcut> waitingShortcuts() const;
  /// Each waiting shortcut once the monitor has taken its combination.
  rx::PublishSubject<MASShortcut>& shortcutTaken() { return taken_; }

 private:
  friend class HotKeyServer;
  bool registerWith(const MASShortcut& shortcut, Action action, std::string& refusal, bool wait);
  /// Asks for every waiting combination once; stops asking when none waits.
  void retryWaiting();
  /// Runs the action of a pressed shortcut, if one is registered.
  void handlePress(const MASShortcut& shortcut);

  std::map<MASShortcut, Action> actions_;
  std::map<MASShortcut, Action> waiting_;
  dispatch::RepeatingTimer retry_;
  rx::PublishSubject<MASShortcut> taken_;
};

}  // namespace tilvane
