#pragma once

#include <initializer_list>
#include <optional>
#include <vector>

#include "support/x11/XProbe.h"

namespace tilvane::test::x11 {

/// Someone at the keyboard of an X display, on a connection of their own: types keys through XTEST, toggles
/// the lock keys and, as another program would, grabs keys. Plain xcb, independent of the code under test.
/// While it lives the server's auto-repeat is off: a typed key is pressed and released at once, and a test
/// stalled between the two by a loaded machine must not turn it into a held, repeating key. Lock keys left on
/// and the auto-repeat are put back when the object goes, so the next test finds the keyboard as it was.
class KeyboardUser : public XProbe {
 public:
  /// Connects to `display`; check ok().
  explicit KeyboardUser(const std::string& display);
  ~KeyboardUser();

  /// Holds the `modifiers` keys (keysyms, e.g. Control_L), presses and releases `key`, lets the modifiers go,
  /// and waits until the server has taken it all.
  void type(std::initializer_list<std::uint32_t> modifiers, xcb_keycode_t key);
  /// The same for the key that types `keysym`.
  void typeKeysym(std::initializer_list<std::uint32_t> modifiers, std::uint32_t keysym);

  /// Whether the modifier bits of `mask` are set in the keyboard's state now (e.g. XCB_MOD_MASK_LOCK).
  bool isOn(std::uint16_t mask);
  /// Caps Lock and Num Lock (on Mod2, as the test desktop has it).
  void setCapsLock(bool on);
  void setNumLock(bool on);

  /// Grabs `key` with exactly `modifiers` on the root window; 0 when granted, else the X error code (10 is
  /// BadAccess: another client holds it).
  std::uint8_t grab(xcb_keycode_t key, std::uint16_t modifiers);
  void ungrab(xcb_keycode_t key, std::uint16_t modifiers);

 private:
  void setLock(std::uint16_t mask, std::uint32_t keysym, bool on);
  void fake(xcb_keycode_t key, bool down);

  bool autoRepeatWasOn_ = false;
};

/// Moves the symbols of one key onto another (or off the keyboard) for a test, as a keymap tool would, and
/// restores both keys when it goes. Every client hears of each change through a MappingNotify.
class MovedKey {
 public:
  MovedKey(KeyboardUser& user, xcb_keycode_t from, std::optional<xcb_keycode_t> to);
  ~MovedKey();
  MovedKey(const MovedKey&) = delete;
  MovedKey& operator=(const MovedKey&) = delete;

 private:
  std::vector<xcb_keysym_t> row(xcb_keycode_t key);
  void set(xcb_keycode_t key, const std::vector<xcb_keysym_t>& keysyms);

  KeyboardUser& user_;
  xcb_keycode_t from_;
  std::optional<xcb_keycode_t> to_;
  std::vector<xcb_keysym_t> fromRow_, toRow_;
};

}  // namespace tilvane::test::x11
