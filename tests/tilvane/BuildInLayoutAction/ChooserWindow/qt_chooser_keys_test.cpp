#include <gtest/gtest.h>

#include "BuildInLayoutAction/ChooserWindow/QtChooserKeys.h"

namespace tilvane {
namespace {

struct KeyCase {
  const char* what;
  int key;
  Qt::KeyboardModifiers modifiers;
  std::uint32_t scanCode;
  NativeScanCodes scanCodes;
  std::optional<ChooserKeyEvent> expected;
};

TEST(QtChooserKeys, KeysBecomeTheStoredKeyCodesAndFlags) {
  constexpr auto x11 = NativeScanCodes::x11Evdev;
  constexpr auto unknown = NativeScanCodes::unknown;
  const KeyCase cases[] = {
      {"a keypad arrow is the arrow", Qt::Key_Up, Qt::KeypadModifier, 0, unknown, ChooserKeyEvent{126, 0}},
      {"Shift and Option", Qt::Key_Left, Qt::ShiftModifier | Qt::AltModifier, 0, unknown, ChooserKeyEvent{123, 0xA0000}},
      {"Control and Command", Qt::Key_Left, Qt::ControlModifier | Qt::MetaModifier, 0, unknown,
       ChooserKeyEvent{123, 0x140000}},
      {"Shift+Tab arrives as Backtab", Qt::Key_Backtab, Qt::ShiftModifier, 0, unknown, ChooserKeyEvent{48, 0x20000}},
      // Shift+2 on a US layout is "@"; on X11 its key code still names the digit row's second key.
      {"the digit row by place", Qt::Key_At, Qt::ShiftModifier, 11, x11, ChooserKeyEvent{19, 0x20000}},
      {"another layout's digit row", Qt::Key_Eacute, Qt::NoModifier, 11, x11, ChooserKeyEvent{19, 0}},
      {"the row's last key is 0", Qt::Key_ParenRight, Qt::ShiftModifier, 19, x11, ChooserKeyEvent{29, 0x20000}},
      {"without scan codes only the key counts", Qt::Key_At, Qt::ShiftModifier, 11, unknown, std::nullopt},
      {"keypad digits are not desktop keys", Qt::Key_2, Qt::KeypadModifier, 88, x11, ChooserKeyEvent{0x54, 0}},
      {"a modifier key alone", Qt::Key_Shift, Qt::ShiftModifier, 50, x11, std::nullopt},
      {"an unknown key", Qt::Key_MediaPlay, Qt::NoModifier, 0, unknown, std::nullopt},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(chooserKeyEvent(c.key, c.modifiers, c.scanCode, c.scanCodes), c.expected);
  }
}

}  // namespace
}  // namespace tilvane
