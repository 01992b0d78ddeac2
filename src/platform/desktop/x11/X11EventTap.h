#pragma once

#include <xcb/xcb_keysyms.h>

#include <functional>
#include <memory>
#include <set>

#include "platform/desktop/EventTap.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// Synthetic input on X. Control + a digit key is the desktop shortcut (Control+1 the first desktop ...
/// Control+0 the tenth): its key-down switches the EWMH desktop through `switchToPosition` and neither it nor
/// its key-up reaches any window. Other keys are typed through XTEST, their modifier flags pressed around
/// them; mouse moves warp the pointer through XTEST (location in the window space). Keys without an X keysym
/// or keycode, and everything but desktop shortcuts when the server lacks XTEST, are dropped.
/// Main thread only.
class X11EventTap final : public EventTap {
 public:
  /// `switchToPosition(p)` shows desktop p (1-based) and answers whether there is one.
  X11EventTap(const XConnection& x, std::function<bool(int)> switchToPosition);
  ~X11EventTap() override;
  X11EventTap(const X11EventTap&) = delete;
  X11EventTap& operator=(const X11EventTap&) = delete;

  std::optional<CGEvent> createEvent(const CGEvent& proposed) override;
  void post(CGEventTapLocation tap, const CGEvent& event) override;

  /// The desktop position (1..10) a Control + digit key-down stands for; 0 for any other event.
  static int desktopShortcutPosition(const CGEvent& event);
  /// Reads the keyboard mapping again after the server said it changed, so keys are typed on the key codes
  /// that type them now.
  void keyboardMappingChanged(const xcb_mapping_notify_event_t& event);

 private:
  std::optional<xcb_keycode_t> keycodeFor(std::uint32_t keysym);
  void fakeKey(xcb_keycode_t key, bool press);
  void postKey(const CGEvent& event);
  void postMouseMove(const CGEvent& event);

  const XConnection& x_;
  std::function<bool(int)> switchToPosition_;
  std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols_;
  /// Digit keys whose key-down was a desktop shortcut; their key-up is swallowed too.
  std::set<CGKeyCode> swallowedKeyUps_;
};

}  // namespace tilvane::x11
