// From the stored form of a shortcut (virtual key code, flag masks) to what an X server grabs.
#include <gtest/gtest.h>

#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/x11/HotKeyTranslation.h"

namespace tilvane::x11 {
namespace {

constexpr KeySym kAltL = 0xffe9, kMetaL = 0xffe7, kSuperL = 0xffeb, kHyperL = 0xffed, kNumLock = 0xff7f;
constexpr KeySym kCapsLock = 0xffe5, kShiftL = 0xffe1, kControlL = 0xffe3, kKpEnd = 0xff9c, kKp1 = 0xffb1;
constexpr CGEventFlags kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;

using ModifierKeys = std::array<std::vector<KeySym>, 8>;

/// The modifier mapping of the test desktop's X server (and of most PC keyboards).
ModifierKeys pcModifiers() {
  return {{{kShiftL}, {kCapsLock}, {kControlL}, {kAltL, kMetaL}, {kNumLock}, {}, {kSuperL, kHyperL}, {}}};
}

// A small keyboard, 2 columns per key from key code 10: "1 !", "a A", keypad "KP_End KP_1", and a second key
// that also types "1" in its shifted column.
KeyboardMap smallKeyboard() {
  return KeyboardMap(10, 2, {'1', '!', 'a', 'A', kKpEnd, kKp1, '!', '1', 0, 0});
}

TEST(KeyboardMapTest, FindsKeysByTheirPlainSymbolBeforeTheirShiftedOne) {
  const KeyboardMap keyboard = smallKeyboard();
  EXPECT_EQ(keyboard.keycodesFor('1'), std::vector<xcb_keycode_t>{10});  // not key 13, where it is shifted
  EXPECT_EQ(keyboard.keycodesFor('a'), std::vector<xcb_keycode_t>{11});
  EXPECT_EQ(keyboard.keycodesFor(kKp1), std::vector<xcb_keycode_t>{12});  // only shifted: taken from column 1
  EXPECT_EQ(keyboard.keycodesFor('!'), std::vector<xcb_keycode_t>{13});
  EXPECT_TRUE(keyboard.keycodesFor('z').empty());
  EXPECT_TRUE(keyboard.keycodesFor(0).empty());  // NoSymbol is on key 14 but names nothing
}

TEST(KeyboardMapTest, ReadsNothingOutsideTheMap) {
  const KeyboardMap keyboard(250, 4, std::vector<KeySym>(4 * 10 + 3, 'q'));
  EXPECT_EQ(keyboard.keysymsOf(255).size(), 4u);  // key codes end at 255: rows past it are dropped
  EXPECT_TRUE(keyboard.keysymsOf(249).empty());
  EXPECT_EQ(keyboard.keycodesFor('q').size(), 6u);
  EXPECT_TRUE(KeyboardMap(8, 0, {'q'}).keycodesFor('q').empty());
  EXPECT_TRUE(KeyboardMap().keysymsOf(8).empty());
  // A partial last row belongs to no key.
  EXPECT_TRUE(KeyboardMap(8, 2, {'a', 'A', 'b'}).keycodesFor('b').empty());
}

TEST(ModifierMasksTest, PcKeyboardRolesAndLockVariants) {
  const ModifierMasks masks = ModifierMasks::fromModifierKeys(pcModifiers());
  EXPECT_EQ(masks.maskFor(kCGEventModifierMask),
            XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
  EXPECT_EQ(masks.maskFor(0), 0);
  EXPECT_EQ(masks.lockVariants(), (std::vector<std::uint16_t>{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                              XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2}));
  // Locks and mouse buttons do not change what a press means.
  const std::uint16_t state = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2 |
                              XCB_KEY_BUT_MASK_BUTTON_1;
  EXPECT_EQ(masks.withoutLocks(state), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
}

TEST(ModifierMasksTest, UnusualMappings) {
  // Alt on Mod3, no Num Lock: two lock variants only.
  ModifierKeys altOnMod3{};
  altOnMod3[5] = {kAltL};
  altOnMod3[6] = {kSuperL};
  ModifierMasks masks = ModifierMasks::fromModifierKeys(altOnMod3);
  EXPECT_EQ(masks.option, XCB_MOD_MASK_3);
  EXPECT_EQ(masks.numLock, 0);
  EXPECT_EQ(masks.lockVariants(), (std::vector<std::uint16_t>{0, XCB_MOD_MASK_LOCK}));

  // Only Meta and Hyper keys: they stand in for Alt and Super.
  ModifierKeys metaHyper{};
  metaHyper[3] = {kMetaL};
  metaHyper[7] = {kHyperL};
  masks = ModifierMasks::fromModifierKeys(metaHyper);
  EXPECT_EQ(masks.option, XCB_MOD_MASK_1);
  EXPECT_EQ(masks.command, XCB_MOD_MASK_5);

  // Super sharing Alt's modifier cannot be Command (its grabs would be Option's), nor can Num Lock there be a
  // lock to ignore; a keyboard without Super refuses Command.
  ModifierKeys shared{};
  shared[3] = {kAltL, kSuperL, kNumLock};
  masks = ModifierMasks::fromModifierKeys(shared);
  EXPECT_EQ(masks.option, XCB_MOD_MASK_1);
  EXPECT_EQ(masks.command, 0);
  EXPECT_EQ(masks.numLock, 0);
  EXPECT_EQ(masks.maskFor(kCGEventFlagMaskCommand), std::nullopt);
  EXPECT_EQ(masks.maskFor(kCGEventFlagMaskControl), XCB_MOD_MASK_CONTROL);
  EXPECT_EQ(ModifierMasks::fromModifierKeys({}).maskFor(kCGEventFlagMaskAlternate), std::nullopt);
}

TEST(TranslationTest, WhatCannotBeGrabbedSaysWhy) {
  const ModifierMasks masks = ModifierMasks::fromModifierKeys(pcModifiers());
  // A stored key code past 16 bits must not wrap onto the digit 1.
  const auto wrapped = translateShortcut(MASShortcut(65536 + kVK_ANSI_1, kControlOption), smallKeyboard(), masks);
  EXPECT_FALSE(wrapped.combination);
  EXPECT_NE(wrapped.problem.find("65554"), std::string::npos) << wrapped.problem;
  EXPECT_FALSE(translateShortcut(MASShortcut(0x0A, 0), smallKeyboard(), masks).combination);  // no keysym
  const auto absent = translateShortcut(MASShortcut(kVK_ANSI_2, 0), smallKeyboard(), masks);
  EXPECT_FALSE(absent.combination);
  EXPECT_NE(absent.problem.find("0x32"), std::string::npos) << absent.problem;
  ModifierKeys noSuper = pcModifiers();
  noSuper[6].clear();
  const auto command = translateShortcut(MASShortcut(kVK_ANSI_1, kCGEventFlagMaskCommand), smallKeyboard(),
                                         ModifierMasks::fromModifierKeys(noSuper));
  EXPECT_FALSE(command.combination);
  EXPECT_FALSE(command.problem.empty());
}

TEST(TranslationTest, CombinationsMatchPressesAndOverlapOnSharedKeys) {
  const GrabCombination a{{10, 13}, XCB_MOD_MASK_CONTROL};
  EXPECT_TRUE(a.matches(13, XCB_MOD_MASK_CONTROL));
  EXPECT_FALSE(a.matches(13, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT));
  EXPECT_FALSE(a.matches(11, XCB_MOD_MASK_CONTROL));
  EXPECT_TRUE(a.overlaps(GrabCombination{{13}, XCB_MOD_MASK_CONTROL}));
  EXPECT_FALSE(a.overlaps(GrabCombination{{13}, XCB_MOD_MASK_SHIFT}));
  EXPECT_FALSE(a.overlaps(GrabCombination{{11}, XCB_MOD_MASK_CONTROL}));
}

}  // namespace
}  // namespace tilvane::x11
