#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/hotkeys/MASShortcut.h"

namespace tilvane {

/// What the recorder tells the user under its field.
enum class RecorderMessage {
  none,
  /// Another binding or hot key of this program has the chord.
  takenByBinding,
  /// Another program holds the chord.
  takenByProgram,
  /// The chord has no Ctrl, Alt or Super (only the function keys may go without).
  needsModifier,
  /// The hot key could not be saved; the stored one is shown.
  notSaved,
};

/// The behaviour of the hot-key recorder (MASShortcutView's model): it shows one hot key, records one chord
/// when asked, and, with a defaults key associated, shows the hot key stored there and stores every hot key
/// recorded or cleared. A chord that another binding, another hot key of the program or another program has is
/// refused with a message and recording goes on. A hot key shown that waits for another program to let it go
/// (MASShortcutMonitor::isShortcutWaiting) carries the message of a chord another program holds until it is
/// taken. A hot key that cannot be stored is not taken: the recorder shows the stored one and says so. Main thread
/// only.
class ShortcutRecorder {
 public:
  /// Called after the user changed the hot key (recorded or cleared); never for a value set from code.
  using ValueChange = std::function<void(ShortcutRecorder&)>;

  /// Shows the hot key stored under `key` and stores there every later change; empty: no key.
  void setAssociatedUserDefaultsKey(const std::string& key);
  const std::string& associatedUserDefaultsKey() const { return key_; }

  const std::optional<MASShortcut>& shortcutValue() const { return value_; }
  /// Shows `value`; stores it under the associated key. Not reported through the value-change callback. False
  /// when it could not be stored: the recorder then shows the stored hot key with the message notSaved.
  bool setShortcutValue(const std::optional<MASShortcut>& value);
  void setShortcutValueChange(ValueChange change) { valueChange_ = std::move(change); }

  bool isRecording() const { return recording_; }
  /// What to tell under the field now: why the last chord was refused, else, while not recording, whether the
  /// hot key shown waits for another program to let it go.
  RecorderMessage message() const;

  /// Waits for a chord.
  void startRecording();
  /// Stops waiting; the hot key stays as it was.
  void cancelRecording();
  /// The user pressed `keyCode` with `flags` while the field had the focus. While recording: Esc alone cancels,
  /// Backspace or Del alone clears, an available chord is taken, any other is refused with a message. Returns
  /// whether the press was used.
  bool handleKeyDown(std::uint64_t keyCode, CGEventFlags flags);
  /// The user cleared the hot key (the field's clear button).
  void clear();

 private:
  void userChanged(const std::optional<MASShortcut>& value);

  std::string key_;
  std::optional<MASShortcut> value_;
  ValueChange valueChange_;
  bool recording_ = false;
  RecorderMessage message_ = RecorderMessage::none;
};

}  // namespace tilvane
