#include <gtest/gtest.h>

#include "BuildInLayoutAction/ChooserWindow/QtChooserKeys.h"

namespace tilvane {
namespace {

std::optional<ChooserKeyEvent> read(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                                    std::uint32_t scanCode = 0,
                                    NativeScanCodes scanCodes = NativeScanCodes::unknown) {
  return chooserKeyEvent(key, modifiers, scanCode, scanCodes);
}

TEST(QtChooserKeys, ChooserKeysGetTheirVirtualKeyCodes) {
  EXPECT_EQ(read(Qt::Key_Left), (ChooserKeyEvent{123, 0}));
  EXPECT_EQ(read(Qt::Key_Right), (ChooserKeyEvent{124, 0}));
  EXPECT_EQ(read(Qt::Key_Down), (ChooserKeyEvent{125, 0}));
  EXPECT_EQ(read(Qt::Key_Up, Qt::KeypadModifier), (ChooserKeyEvent{126, 0}));
  EXPECT_EQ(read(Qt::Key_Return), (ChooserKeyEvent{36, 0}));
  EXPECT_EQ(read(Qt::Key_Tab), (ChooserKeyEvent{48, 0}));
  EXPECT_EQ(read(Qt::Key_Escape), (ChooserKeyEvent{53, 0}));
  const int digits[] = {18, 19, 20, 21, 23, 22, 26, 28, 25};
  for (int n = 1; n <= 9; ++n) EXPECT_EQ(read(Qt::Key_0 + n)->keyCode, digits[n - 1]) << n;
  EXPECT_EQ(read(Qt::Key_0)->keyCode, 29);
  EXPECT_EQ(read(Qt::Key_A)->keyCode, 0);
}

TEST(QtChooserKeys, ModifiersBecomeTheStoredFlags) {
  EXPECT_EQ(read(Qt::Key_Left, Qt::ShiftModifier)->modifierFlags, 0x20000u);
  EXPECT_EQ(read(Qt::Key_Left, Qt::ControlModifier)->modifierFlags, 0x40000u);
  EXPECT_EQ(read(Qt::Key_Left, Qt::AltModifier)->modifierFlags, 0x80000u);
  EXPECT_EQ(read(Qt::Key_Left, Qt::MetaModifier)->modifierFlags, 0x100000u);
  EXPECT_EQ(read(Qt::Key_Left, Qt::ShiftModifier | Qt::AltModifier)->modifierFlags, 0xA0000u);
  // Shift+Tab arrives as Backtab: still Tab, with Shift.
  EXPECT_EQ(read(Qt::Key_Backtab, Qt::ShiftModifier), (ChooserKeyEvent{48, 0x20000}));
}

TEST(QtChooserKeys, ModifierKeysAloneAndUnknownKeysAreNoKeyDown) {
  for (const int key : {Qt::Key_Shift, Qt::Key_Alt, Qt::Key_Control, Qt::Key_Meta, Qt::Key_CapsLock})
    EXPECT_EQ(read(key, Qt::ShiftModifier), std::nullopt) << key;
  EXPECT_EQ(read(Qt::Key_MediaPlay), std::nullopt);
}

TEST(QtChooserKeys, TheDigitRowIsReadByPlaceWhereScanCodesTellIt) {
  // Shift+2 on a US layout is "@"; on X11 its key code still names the digit row's second key.
  EXPECT_EQ(read(Qt::Key_At, Qt::ShiftModifier, 11, NativeScanCodes::x11Evdev),
            (ChooserKeyEvent{19, 0x20000}));
  EXPECT_EQ(read(Qt::Key_Eacute, Qt::NoModifier, 11, NativeScanCodes::x11Evdev)->keyCode, 19);
  EXPECT_EQ(read(Qt::Key_ParenRight, Qt::ShiftModifier, 19, NativeScanCodes::x11Evdev)->keyCode, 29);
  // Without known scan codes only the key counts.
  EXPECT_EQ(read(Qt::Key_At, Qt::ShiftModifier, 11, NativeScanCodes::unknown), std::nullopt);
  // Keypad digits have codes of their own, and are not desktop keys.
  EXPECT_EQ(read(Qt::Key_2, Qt::KeypadModifier, 88, NativeScanCodes::x11Evdev)->keyCode, 0x54);
}

}  // namespace
}  // namespace tilvane
