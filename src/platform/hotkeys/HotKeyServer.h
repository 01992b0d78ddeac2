#pragma once

#include <string>

#include "platform/hotkeys/MASShortcut.h"

namespace tilvane {

/// The backend that takes global key combinations for the program, so that their presses reach it wherever
/// the focus is. Two backends: the in-memory sim::SimHotKeys (tests, headless runs) and an X11 one (a passive
/// grab on the root window for each lock-key variant; a BadAccess reply means another program holds the key).
///
/// The composition root installs one backend with HotKeyServer::Scope; MASShortcutMonitor reaches it through
/// current(). A backend hands every press of a combination it took to deliverPress(), on the main loop.
/// Main thread only.
class HotKeyServer {
 public:
  /// Installs `server` for the lifetime of the scope and restores the previous one after.
  class Scope {
   public:
    explicit Scope(HotKeyServer& server);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    HotKeyServer* previous_;
  };

  virtual ~HotKeyServer() = default;

  /// The installed backend, or null when none is.
  static HotKeyServer* current();

  /// Takes the combination for the program. False when it cannot: another program holds it, or no key has that
  /// code. Taking a combination the program holds already answers true.
  virtual bool grab(const MASShortcut& shortcut) = 0;
  /// The same for a caller that reports a refusal itself, with what the hot key is for: the backend reports
  /// nothing and says why in `refusal` (left as it is when the backend cannot tell).
  virtual bool grab(const MASShortcut& shortcut, std::string& refusal) {
    (void)refusal;
    return grab(shortcut);
  }
  /// Lets the combination go; one the program does not hold is ignored.
  virtual void ungrab(const MASShortcut& shortcut) = 0;

 protected:
  /// Hands a press of a taken combination to the shared monitor, which runs its action now. Call on the main
  /// loop. Nothing happens when no monitor exists or nothing is registered for the combination.
  static void deliverPress(const MASShortcut& shortcut);
};

}  // namespace tilvane
