#include "platform/hotkeys/x11/X11HotKeys.h"

#include <fmt/format.h>

#include <utility>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/hotkeys/x11/KeyboardQuery.h"
#include "platform/log/ErrorReport.h"

namespace tilvane::x11 {
namespace {
constexpr std::uint8_t kBadAccess = 10;

struct PendingGrab {
  xcb_keycode_t keycode;
  std::uint16_t modifiers;
  xcb_void_cookie_t cookie;
};
}  // namespace

X11HotKeys::X11HotKeys(const XConnection& x)
    : x_(x), keyboard_(queryKeyboardMap(x)), modifiers_(queryModifierMasks(x, keyboard_)) {}

X11HotKeys::~X11HotKeys() {
  if (x_.hasError()) return;
  for (const auto& [shortcut, combination] : held_)
    if (combination) ungrabCombination(*combination, modifiers_);
  x_.flush();
}

bool X11HotKeys::grab(const MASShortcut& shortcut) {
  std::string refusal;
  if (grab(shortcut, refusal)) return true;
  report(shortcut, refusal);
  return false;
}

bool X11HotKeys::grab(const MASShortcut& shortcut, std::string& refusal) {
  if (auto found = held_.find(shortcut); found != held_.end() && found->second) return true;
  const HotKeyTranslation translation = translateShortcut(shortcut, keyboard_, modifiers_);
  if (!translation.combination) {
    refusal = translation.problem;
    return false;
  }
  // Two shortcuts on one X combination could not be told apart when pressed.
  if (const MASShortcut* other = overlapping(*translation.combination, shortcut)) {
    refusal = "it types the same keys as the hot key " + other->description();
    return false;
  }
  if (auto problem = grabCombination(*translation.combination)) {
    refusal = *problem;
    return false;
  }
  held_[shortcut] = translation.combination;
  return true;
}

void X11HotKeys::ungrab(const MASShortcut& shortcut) {
  auto found = held_.find(shortcut);
  if (found == held_.end()) return;
  if (found->second) {
    ungrabCombination(*found->second, modifiers_);
    // Once this returns the key is free: a program that asks for it next must not find it still ours.
    x_.sync();
  }
  held_.erase(found);
}

std::optional<GrabCombination> X11HotKeys::combinationOf(const MASShortcut& shortcut) const {
  auto found = held_.find(shortcut);
  if (found == held_.end()) return std::nullopt;
  return found->second;
}

bool X11HotKeys::handle(const xcb_generic_event_t& event) {
  const std::uint8_t type = event.response_type & 0x7f;
  if (type == XCB_MAPPING_NOTIFY) {
    const auto& e = reinterpret_cast<const xcb_mapping_notify_event_t&>(event);
    if (e.request == XCB_MAPPING_KEYBOARD || e.request == XCB_MAPPING_MODIFIER) keyboardChanged();
    return false;
  }
  if (type != XCB_KEY_PRESS) return false;
  const auto& e = reinterpret_cast<const xcb_key_press_event_t&>(event);
  const std::uint16_t mods = modifiers_.withoutLocks(e.state);
  for (const auto& [shortcut, combination] : held_) {
    if (!combination || !combination->matches(e.detail, mods)) continue;
    const MASShortcut pressed = shortcut;
    if (dispatch::MainQueue::loop() == nullptr) {
      deliverPress(pressed);
    } else {
      // The action runs on its own turn, not inside the reading of the connection's events.
      dispatch::MainQueue::async([pressed] { deliverPress(pressed); });
    }
    return true;
  }
  return false;
}

std::optional<std::string> X11HotKeys::grabCombination(const GrabCombination& combination) {
  std::vector<PendingGrab> pending;
  for (const std::uint16_t lock : modifiers_.lockVariants()) {
    const auto mods = static_cast<std::uint16_t>(combination.modifiers | lock);
    for (const xcb_keycode_t key : combination.keycodes) {
      pending.push_back({key, mods,
                         xcb_grab_key_checked(x_.get(), 1, x_.root(), mods, key, XCB_GRAB_MODE_ASYNC,
                                              XCB_GRAB_MODE_ASYNC)});
    }
  }
  // One round trip answers every grab; it also tells the event pump that events may have been queued.
  x_.sync();
  std::optional<std::string> problem;
  std::vector<const PendingGrab*> taken;
  for (const PendingGrab& grab : pending) {
    xcb_generic_error_t* error = xcb_request_check(x_.get(), grab.cookie);
    if (!error) {
      taken.push_back(&grab);
      continue;
    }
    if (!problem) {
      problem = error->error_code == kBadAccess
                    ? fmt::format("another program holds it (X key {} with modifiers 0x{:x})", grab.keycode,
                                  grab.modifiers)
                    : fmt::format("the X server refused the grab (error {})", error->error_code);
    }
    std::free(error);
  }
  if (!problem) return std::nullopt;
  for (const PendingGrab* grab : taken) xcb_ungrab_key(x_.get(), grab->keycode, x_.root(), grab->modifiers);
  x_.sync();
  return problem;
}

void X11HotKeys::ungrabCombination(const GrabCombination& combination, const ModifierMasks& masks) {
  for (const std::uint16_t lock : masks.lockVariants())
    for (const xcb_keycode_t key : combination.keycodes)
      xcb_ungrab_key(x_.get(), key, x_.root(), static_cast<std::uint16_t>(combination.modifiers | lock));
}

const MASShortcut* X11HotKeys::overlapping(const GrabCombination& combination, const MASShortcut& except) const {
  for (const auto& [shortcut, held] : held_)
    if (shortcut != except && held && held->overlaps(combination)) return &shortcut;
  return nullptr;
}

void X11HotKeys::keyboardChanged() {
  const ModifierMasks oldModifiers = modifiers_;
  keyboard_ = queryKeyboardMap(x_);
  modifiers_ = queryModifierMasks(x_, keyboard_);
  std::vector<MASShortcut> changed;
  for (auto& [shortcut, combination] : held_) {
    const HotKeyTranslation now = translateShortcut(shortcut, keyboard_, modifiers_);
    if (now.combination == combination && modifiers_ == oldModifiers) continue;
    // The old grabs go under the old lock masks.
    if (combination) ungrabCombination(*combination, oldModifiers);
    combination.reset();
    changed.push_back(shortcut);
  }
  for (const MASShortcut& shortcut : changed) {
    const HotKeyTranslation now = translateShortcut(shortcut, keyboard_, modifiers_);
    std::optional<std::string> problem;
    if (!now.combination) {
      problem = now.problem;
    } else if (const MASShortcut* other = overlapping(*now.combination, shortcut)) {
      problem = "it types the same keys as the hot key " + other->description();
    } else {
      problem = grabCombination(*now.combination);
    }
    if (problem) {
      report(shortcut, *problem + "; it is tried again when the keyboard changes");
      continue;
    }
    held_[shortcut] = now.combination;
  }
  x_.flush();
}

void X11HotKeys::report(const MASShortcut& shortcut, const std::string& problem) {
  log::reportWarning(fmt::format("hot key {} is not available: {}", shortcut.description(), problem));
}

}  // namespace tilvane::x11
