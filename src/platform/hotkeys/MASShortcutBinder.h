#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/hotkeys/MASShortcut.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// Why a hot key can or cannot be given to a defaults key.
enum class ShortcutAvailability {
  available,
  /// Another binding, or another hot key of this program, has it.
  takenByBinding,
  /// Another program holds the combination.
  takenByProgram,
};

/// Makes the hot keys stored in the user defaults act system-wide: a bound defaults key's hot key runs its
/// action on the main loop wherever the focus is, and the binding follows every later change of the key made
/// through ShortcutDefaults (a cleared key means no hot key). A hot key another program holds is reported once
/// and waits with the monitor, which takes it as soon as it is free. Main thread only.
class MASShortcutBinder {
 public:
  using Action = std::function<void()>;

  /// The one binder (sharedBinder), made on first use; never absent.
  static MASShortcutBinder& sharedBinder();

  MASShortcutBinder();
  /// Lets go of every hot key it registered.
  ~MASShortcutBinder();
  MASShortcutBinder(const MASShortcutBinder&) = delete;
  MASShortcutBinder& operator=(const MASShortcutBinder&) = delete;

  /// Binds `key` to `action`: the hot key stored under it now, and after every change, runs the action. A key
  /// bound already keeps its hot key and gets the new action.
  void bindShortcutWithDefaultsKey(const std::string& key, Action action);
  /// Ends the binding of `key` and lets its hot key go; a key not bound is ignored.
  void breakBindingWithDefaultsKey(const std::string& key);

  /// The hot key that acts for `key` now (its combination taken by the monitor); absent when none does, also
  /// while it waits for another program to let it go.
  std::optional<MASShortcut> activeShortcut(const std::string& key) const;

  /// Whether `shortcut` may be recorded under `key` (empty: for no defaults key): not when another bound key
  /// stores it, another hot key of this program has it or waits for it, or another program holds the
  /// combination. The hot key `key` itself has is available to it.
  ShortcutAvailability availability(const std::string& key, const MASShortcut& shortcut) const;

 private:
  struct Binding {
    Action action;
    /// Registered with the monitor: taken, or waiting to be.
    std::optional<MASShortcut> registered;
  };
  /// Registers the hot key stored under `key` now, after letting the earlier one go.
  void refresh(const std::string& key);

  std::map<std::string, Binding> bindings_;
  rx::DisposeBag disposeBag_;
};

}  // namespace tilvane
