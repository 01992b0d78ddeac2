#pragma once

#include <optional>
#include <string>

#include "platform/hotkeys/MASShortcut.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// Hot keys kept in the user defaults, one per key: a dictionary {"keyCode": integer, "modifierFlags": integer}
/// in the stored form. No hot key is no entry. Every change made here is announced, so a binding can follow
/// it. Main thread only.
class ShortcutDefaults {
 public:
  /// The one instance, made on first use; reset with the other shared instances.
  static ShortcutDefaults& shared();

  /// The hot key stored under `key`; absent when none is, or when the entry is not a well-formed one.
  std::optional<MASShortcut> shortcutForKey(const std::string& key) const;
  /// Stores `shortcut` under `key` (absent: removes the entry), writes the defaults at once, then publishes
  /// `key` on changed(). False when it could not be saved: the stored hot key stays, nothing is published.
  bool setShortcut(const std::string& key, const std::optional<MASShortcut>& shortcut);

  /// Says that the hot key under `key` changed in the settings file (another program, a hand edit): published on
  /// changed() as a change made here is.
  void storedChanged(const std::string& key) { changed_.onNext(key); }

  /// The defaults keys whose hot key changed, through setShortcut or in the file, after the change.
  rx::PublishSubject<std::string>& changed() { return changed_; }

 private:
  rx::PublishSubject<std::string> changed_;
};

}  // namespace tilvane
