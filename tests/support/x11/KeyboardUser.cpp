#include "support/x11/KeyboardUser.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>

namespace tilvane::test::x11 {
namespace {
constexpr std::uint32_t kCapsLockKeysym = 0xffe5;
constexpr std::uint32_t kNumLockKeysym = 0xff7f;

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;
}  // namespace

KeyboardUser::KeyboardUser(const std::string& display) : XProbe(display) {
  if (!ok()) return;
  xcb_connection_t* c = connection();
  Reply<xcb_get_keyboard_control_reply_t> control(
      xcb_get_keyboard_control_reply(c, xcb_get_keyboard_control(c), nullptr), &std::free);
  autoRepeatWasOn_ = control && control->global_auto_repeat;
  const std::uint32_t off = XCB_AUTO_REPEAT_MODE_OFF;
  xcb_change_keyboard_control(c, XCB_KB_AUTO_REPEAT_MODE, &off);
  sync();
}

KeyboardUser::~KeyboardUser() {
  if (!ok()) return;
  setCapsLock(false);
  setNumLock(false);
  const std::uint32_t mode = autoRepeatWasOn_ ? XCB_AUTO_REPEAT_MODE_ON : XCB_AUTO_REPEAT_MODE_OFF;
  xcb_change_keyboard_control(connection(), XCB_KB_AUTO_REPEAT_MODE, &mode);
  sync();
}

void KeyboardUser::fake(xcb_keycode_t key, bool down) {
  xcb_test_fake_input(connection(), down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_WINDOW_NONE,
                      0, 0, 0);
}

void KeyboardUser::type(std::initializer_list<std::uint32_t> modifiers, xcb_keycode_t key) {
  std::vector<xcb_keycode_t> held;
  for (const std::uint32_t m : modifiers) held.push_back(keycodeOf(m));
  // One flush: the server takes the whole stroke in one read.
  for (const xcb_keycode_t m : held) fake(m, true);
  fake(key, true);
  fake(key, false);
  for (auto it = held.rbegin(); it != held.rend(); ++it) fake(*it, false);
  sync();
}

void KeyboardUser::typeKeysym(std::initializer_list<std::uint32_t> modifiers, std::uint32_t keysym) {
  type(modifiers, keycodeOf(keysym));
}

bool KeyboardUser::isOn(std::uint16_t mask) {
  Reply<xcb_query_pointer_reply_t> reply(
      xcb_query_pointer_reply(connection(), xcb_query_pointer(connection(), root()), nullptr), &std::free);
  return reply && (reply->mask & mask) == mask;
}

void KeyboardUser::setLock(std::uint16_t mask, std::uint32_t keysym, bool on) {
  if (isOn(mask) != on) type({}, keycodeOf(keysym));
}

void KeyboardUser::setCapsLock(bool on) { setLock(XCB_MOD_MASK_LOCK, kCapsLockKeysym, on); }
void KeyboardUser::setNumLock(bool on) { setLock(XCB_MOD_MASK_2, kNumLockKeysym, on); }

std::uint8_t KeyboardUser::grab(xcb_keycode_t key, std::uint16_t modifiers) {
  Reply<xcb_generic_error_t> error(
      xcb_request_check(connection(), xcb_grab_key_checked(connection(), 1, root(), modifiers, key,
                                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
      &std::free);
  return error ? error->error_code : 0;
}

void KeyboardUser::ungrab(xcb_keycode_t key, std::uint16_t modifiers) {
  xcb_ungrab_key(connection(), key, root(), modifiers);
  sync();
}

MovedKey::MovedKey(KeyboardUser& user, xcb_keycode_t from, std::optional<xcb_keycode_t> to)
    : user_(user), from_(from), to_(to) {
  fromRow_ = row(from);
  if (to_) toRow_ = row(*to_);
  set(from_, std::vector<xcb_keysym_t>(fromRow_.size(), XCB_NO_SYMBOL));
  if (to_) set(*to_, fromRow_);
}

MovedKey::~MovedKey() {
  if (to_) set(*to_, toRow_);
  set(from_, fromRow_);
}

std::vector<xcb_keysym_t> MovedKey::row(xcb_keycode_t key) {
  xcb_connection_t* c = user_.connection();
  Reply<xcb_get_keyboard_mapping_reply_t> r(xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, key, 1), nullptr),
                                            &std::free);
  if (!r) return {};
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
  return std::vector<xcb_keysym_t>(syms, syms + xcb_get_keyboard_mapping_keysyms_length(r.get()));
}

void MovedKey::set(xcb_keycode_t key, const std::vector<xcb_keysym_t>& keysyms) {
  if (keysyms.empty()) return;
  xcb_change_keyboard_mapping(user_.connection(), 1, key, static_cast<std::uint8_t>(keysyms.size()), keysyms.data());
  user_.sync();
}

}  // namespace tilvane::test::x11
