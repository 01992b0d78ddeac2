#pragma once

#include <cstdint>
#include <set>

#include "platform/hotkeys/HotKeyServer.h"

namespace tilvane::sim {

/// An in-memory hot-key server for tests and headless runs, deterministic and scriptable. It answers grabs as a
/// real server does: a combination another program holds, or a key code no key has (above 0x7F), cannot be
/// taken. A user's press of a combination the program holds reaches the monitor on a later turn of the main
/// loop, as a real key event does. Main thread only.
class SimHotKeys final : public HotKeyServer {
 public:
  SimHotKeys() = default;
  SimHotKeys(const SimHotKeys&) = delete;
  SimHotKeys& operator=(const SimHotKeys&) = delete;

  // HotKeyServer
  using HotKeyServer::grab;
  bool grab(const MASShortcut& shortcut) override;
  void ungrab(const MASShortcut& shortcut) override;

  // --- user actions ---

  /// The user presses `keyCode` with `flags` (only Shift, Control, Option and Command count; lock keys do not
  /// change what a press means). When the program holds the combination, its action runs on a later turn of
  /// the main loop (at once when no loop is installed). Returns whether the program holds it.
  bool press(std::uint64_t keyCode, CGEventFlags flags);
  /// Another program takes (true) or lets go of (false) the combination. It cannot take one the program holds:
  /// a real server keeps the first holder's grab.
  void setHeldByOtherProgram(const MASShortcut& shortcut, bool held);

  // --- inspection ---

  /// Whether the program holds the combination now.
  bool isGrabbed(const MASShortcut& shortcut) const { return grabbed_.contains(shortcut); }
  /// The combinations the program holds now.
  const std::set<MASShortcut>& grabbed() const { return grabbed_; }
  /// Grabs asked for so far (granted or not), for tests that check a key was asked for again.
  std::size_t grabRequests() const { return grabRequests_; }

 private:
  std::set<MASShortcut> grabbed_;
  std::set<MASShortcut> heldByOthers_;
  std::size_t grabRequests_ = 0;
};

}  // namespace tilvane::sim
