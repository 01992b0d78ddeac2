#include "platform/desktop/x11/X11EventTap.h"

#include <xcb/xtest.h>

#include <array>
#include <utility>
#include <vector>

#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/x11/KeyTable.h"
#include "platform/desktop/x11/ScreenLayout.h"

namespace tilvane::x11 {
namespace {
constexpr std::array<std::pair<CGKeyCode, int>, 10> kDigitPositions{{
    {kVK_ANSI_1, 1}, {kVK_ANSI_2, 2}, {kVK_ANSI_3, 3}, {kVK_ANSI_4, 4}, {kVK_ANSI_5, 5},
    {kVK_ANSI_6, 6}, {kVK_ANSI_7, 7}, {kVK_ANSI_8, 8}, {kVK_ANSI_9, 9}, {kVK_ANSI_0, 10},
}};

constexpr std::array<std::pair<CGEventFlags, KeySym>, 4> kModifierKeys{{
    {kCGEventFlagMaskShift, kKeysymShiftL},
    {kCGEventFlagMaskControl, kKeysymControlL},
    {kCGEventFlagMaskAlternate, kKeysymAltL},
    {kCGEventFlagMaskCommand, kKeysymSuperL},
}};
}  // namespace

X11EventTap::X11EventTap(const XConnection& x, std::function<bool(int)> switchToPosition)
    : x_(x), switchToPosition_(std::move(switchToPosition)), symbols_(xcb_key_symbols_alloc(x.get()), xcb_key_symbols_free) {}

X11EventTap::~X11EventTap() = default;

int X11EventTap::desktopShortcutPosition(const CGEvent& event) {
  if (event.type != CGEventType::keyDown) return 0;
  if ((event.flags & kCGEventModifierMask) != kCGEventFlagMaskControl) return 0;
  for (const auto& [key, position] : kDigitPositions)
    if (key == event.keyCode) return position;
  return 0;
}

void X11EventTap::keyboardMappingChanged(const xcb_mapping_notify_event_t& event) {
  // A new table asks the server now. Refreshing the old one does nothing while an earlier refresh is still
  // unanswered, and that answer may come from before this change.
  if (event.request == XCB_MAPPING_KEYBOARD) symbols_.reset(xcb_key_symbols_alloc(x_.get()));
}

std::optional<CGEvent> X11EventTap::createEvent(const CGEvent& proposed) { return proposed; }

void X11EventTap::post(CGEventTapLocation, const CGEvent& event) {
  if (const int position = desktopShortcutPosition(event); position > 0) {
    swallowedKeyUps_.insert(event.keyCode);
    switchToPosition_(position);
    return;
  }
  if (event.type == CGEventType::keyUp && swallowedKeyUps_.erase(event.keyCode) > 0) return;
  if (!x_.hasXTest()) return;
  if (event.type == CGEventType::mouseMoved)
    postMouseMove(event);
  else
    postKey(event);
  x_.flush();
}

std::optional<xcb_keycode_t> X11EventTap::keycodeFor(std::uint32_t keysym) {
  if (!symbols_) return std::nullopt;
  xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_.get(), keysym);
  if (!codes) return std::nullopt;
  const xcb_keycode_t first = codes[0];
  std::free(codes);
  if (first == XCB_NO_SYMBOL) return std::nullopt;
  return first;
}

void X11EventTap::fakeKey(xcb_keycode_t key, bool press) {
  xcb_test_fake_input(x_.get(), press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}

void X11EventTap::postKey(const CGEvent& event) {
  const auto keysym = keysymForVirtualKey(event.keyCode);
  if (!keysym) return;
  const auto key = keycodeFor(*keysym);
  if (!key) return;
  std::vector<xcb_keycode_t> modifiers;
  for (const auto& [flag, sym] : kModifierKeys)
    if (event.flags & flag)
      if (const auto m = keycodeFor(sym)) modifiers.push_back(*m);
  for (const xcb_keycode_t m : modifiers) fakeKey(m, true);
  fakeKey(*key, event.type == CGEventType::keyDown);
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) fakeKey(*it, false);
}

void X11EventTap::postMouseMove(const CGEvent& event) {
  const ScreenLayout layout = ScreenLayout::query(x_);
  const auto target = layout.space().fromWindowSpace(event.location);
  if (!target) return;
  xcb_test_fake_input(x_.get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, x_.root(), static_cast<std::int16_t>(target->x),
                      static_cast<std::int16_t>(target->y), 0);
}

}  // namespace tilvane::x11
