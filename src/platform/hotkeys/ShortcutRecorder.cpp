#include "platform/hotkeys/ShortcutRecorder.h"

#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/KeyNames.h"
#include "platform/hotkeys/MASShortcutBinder.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/ShortcutDefaults.h"

namespace tilvane {
namespace {
constexpr std::uint64_t kBackspace = 0x33;
constexpr std::uint64_t kForwardDelete = 0x75;

bool isFunctionKey(std::uint64_t keyCode) {
  const std::string name = keyName(keyCode);
  return name.size() >= 2 && name[0] == 'F' && name[1] >= '1' && name[1] <= '9';
}
}  // namespace

void ShortcutRecorder::setAssociatedUserDefaultsKey(const std::string& key) {
  key_ = key;
  value_ = key.empty() ? std::nullopt : ShortcutDefaults::shared().shortcutForKey(key);
}

bool ShortcutRecorder::setShortcutValue(const std::optional<MASShortcut>& value) {
  value_ = value;
  if (key_.empty() || ShortcutDefaults::shared().setShortcut(key_, value)) return true;
  value_ = ShortcutDefaults::shared().shortcutForKey(key_);
  message_ = RecorderMessage::notSaved;
  return false;
}

RecorderMessage ShortcutRecorder::message() const {
  if (message_ != RecorderMessage::none || recording_ || !value_) return message_;
  const bool waiting = MASShortcutMonitor::exists() && MASShortcutMonitor::sharedMonitor().isShortcutWaiting(*value_);
  return waiting ? RecorderMessage::takenByProgram : RecorderMessage::none;
}

void ShortcutRecorder::startRecording() {
  recording_ = true;
  message_ = RecorderMessage::none;
}

void ShortcutRecorder::cancelRecording() {
  recording_ = false;
  message_ = RecorderMessage::none;
}

bool ShortcutRecorder::handleKeyDown(std::uint64_t keyCode, CGEventFlags flags) {
  if (!recording_) return false;
  flags &= kCGEventModifierMask;
  if (flags == 0 && keyCode == kVK_Escape) {
    cancelRecording();
    return true;
  }
  if (flags == 0 && (keyCode == kBackspace || keyCode == kForwardDelete)) {
    clear();
    return true;
  }
  if (keyName(keyCode).empty()) return false;
  const MASShortcut chord(keyCode, flags);
  const CGEventFlags chordModifiers = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate | kCGEventFlagMaskCommand;
  if ((flags & chordModifiers) == 0 && !isFunctionKey(keyCode)) {
    message_ = RecorderMessage::needsModifier;
    return true;
  }
  if (chord == value_) {
    cancelRecording();
    return true;
  }
  switch (MASShortcutBinder::sharedBinder().availability(key_, chord)) {
    case ShortcutAvailability::takenByBinding:
      message_ = RecorderMessage::takenByBinding;
      return true;
    case ShortcutAvailability::takenByProgram:
      message_ = RecorderMessage::takenByProgram;
      return true;
    case ShortcutAvailability::available:
      break;
  }
  userChanged(chord);
  return true;
}

void ShortcutRecorder::clear() { userChanged(std::nullopt); }

void ShortcutRecorder::userChanged(const std::optional<MASShortcut>& value) {
  recording_ = false;
  message_ = RecorderMessage::none;
  if (setShortcutValue(value) && valueChange_) valueChange_(*this);
}

}  // namespace tilvane
