#pragma once

#include <xcb/xcb.h>

#include <map>
#include <optional>

#include "platform/desktop/x11/XConnection.h"
#include "platform/hotkeys/HotKeyServer.h"
#include "platform/hotkeys/x11/HotKeyTranslation.h"

namespace tilvane::x11 {

/// Global hot keys on X: each shortcut is a passive grab on the root window of the keys that type its keysym,
/// with its modifiers, once for every Num Lock / Caps Lock state, so the key works whatever locks are on.
///
/// A shortcut that cannot be taken is reported in the log with its key and why: another program holds the
/// combination (the server answers BadAccess), no key of this keyboard types it, or the keyboard lacks one of
/// its modifiers. Nothing of a refused grab is kept.
///
/// The server shares the desktop backend's X connection; whoever reads that connection's events hands them to
/// handle(). A press of a held combination reaches the shared monitor on a later turn of the main loop. When
/// the keyboard mapping changes (MappingNotify), every held shortcut is translated afresh and grabbed on its
/// new keys; one that no longer can be stays wanted, without keys, and is tried again at the next change.
/// Main thread only.
class X11HotKeys final : public HotKeyServer {
 public:
  /// Reads the keyboard and modifier mappings of `x`, which must outlive the server.
  explicit X11HotKeys(const XConnection& x);
  /// Lets go of every grab.
  ~X11HotKeys() override;
  X11HotKeys(const X11HotKeys&) = delete;
  X11HotKeys& operator=(const X11HotKeys&) = delete;

  bool grab(const MASShortcut& shortcut) override;
  bool grab(const MASShortcut& shortcut, std::string& refusal) override;
  void ungrab(const MASShortcut& shortcut) override;

  /// Looks at one event of the connection: a key press of a held combination is delivered (true: the event
  /// was a hot key); a mapping change re-grabs. Other events are left alone (false).
  bool handle(const xcb_generic_event_t& event);

  /// The combination grabbed for a held shortcut; absent when the shortcut is not held or waits for keys.
  std::optional<GrabCombination> combinationOf(const MASShortcut& shortcut) const;
  /// The modifier masks in use.
  const ModifierMasks& modifierMasks() const { return modifiers_; }

 private:
  /// Grabs every lock variant of `combination`; on any refusal lets go of what it took and answers why.
  std::optional<std::string> grabCombination(const GrabCombination& combination);
  /// Lets go of every lock variant of `combination` under `masks` (the masks it was grabbed with).
  void ungrabCombination(const GrabCombination& combination, const ModifierMasks& masks);
  /// The held shortcut whose combination shares a key with `combination`, if any.
  const MASShortcut* overlapping(const GrabCombination& combination, const MASShortcut& except) const;
  void keyboardChanged();
  static void report(const MASShortcut& shortcut, const std::string& problem);

  const XConnection& x_;
  KeyboardMap keyboard_;
  ModifierMasks modifiers_;
  /// Held shortcuts and their grabbed combination (absent: wanted, but the keyboard has no keys for it now).
  std::map<MASShortcut, std::optional<GrabCombination>> held_;
};

}  // namespace tilvane::x11
