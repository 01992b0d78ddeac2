#include "platform/hotkeys/sim/SimHotKeys.h"

#include "platform/dispatch/MainQueue.h"

namespace tilvane::sim {
namespace {
// Virtual key codes end at 0x7F; a larger code names no key on any keyboard.
constexpr std::uint64_t kLastKeyCode = 0x7F;
}  // namespace

bool SimHotKeys::grab(const MASShortcut& shortcut) {
  ++grabRequests_;
  if (grabbed_.contains(shortcut)) return true;
  if (shortcut.keyCode() > kLastKeyCode || heldByOthers_.contains(shortcut)) return false;
  grabbed_.insert(shortcut);
  return true;
}

void SimHotKeys::ungrab(const MASShortcut& shortcut) { grabbed_.erase(shortcut); }

bool SimHotKeys::press(std::uint64_t keyCode, CGEventFlags flags) {
  const MASShortcut shortcut(keyCode, flags);
  if (!grabbed_.contains(shortcut)) return false;
  if (dispatch::MainQueue::loop() == nullptr) {
    deliverPress(shortcut);
  } else {
    dispatch::MainQueue::async([shortcut] { deliverPress(shortcut); });
  }
  return true;
}

void SimHotKeys::setHeldByOtherProgram(const MASShortcut& shortcut, bool held) {
  if (!held) {
    heldByOthers_.erase(shortcut);
  } else if (!grabbed_.contains(shortcut)) {
    heldByOthers_.insert(shortcut);
  }
}

}  // namespace tilvane::sim
