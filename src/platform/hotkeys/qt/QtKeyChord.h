#pragma once

#include <QKeyEvent>
#include <cstdint>
#include <optional>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

/// A key press in the stored form: virtual key code and modifier flags (Ctrl → Control, Alt → Option,
/// Meta/Super → Command, Shift → Shift).
struct KeyChord {
  std::uint64_t keyCode = 0;
  CGEventFlags flags = 0;
};

/// The chord of a Qt key press; absent for a key the stored form has no code for (a lone modifier, say). A
/// sign typed with Shift on a US layout ("!") is its unshifted key ("1") with Shift.
std::optional<KeyChord> keyChordOf(int qtKey, Qt::KeyboardModifiers modifiers);
inline std::optional<KeyChord> keyChordOf(const QKeyEvent& event) {
  return keyChordOf(event.key(), event.modifiers());
}

}  // namespace tilvane
