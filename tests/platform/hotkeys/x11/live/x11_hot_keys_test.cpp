// Global hot keys on a real X server, on the desktop backend's connection as the program has them: grabs on the
// root window, presses typed by another client through XTEST, keys held by other programs, and keyboard mapping
// changes.
#include <gtest/gtest.h>

#include "AppManager/Logging/LogManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/MASShortcutBinder.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/ShortcutDefaults.h"
#include "platform/hotkeys/ShortcutRecorder.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"
#include "support/x11/KeyboardUser.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {
namespace {

constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9, kShiftL = 0xffe1;
constexpr CGEventFlags kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;
constexpr std::uint16_t kControlMod1 = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr std::uint8_t kBadAccess = 10;
constexpr std::uint16_t kLockStates[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

class X11HotKeysTest : public X11BackendTest {
 protected:
  void SetUp() override {
    X11BackendTest::SetUp();
    if (HasFatalFailure()) return;
    hotKeys_ = std::make_unique<tilvane::x11::X11DesktopHotKeys>(desktop());
    scope_ = std::make_unique<HotKeyServer::Scope>(hotKeys_->server());
    user_ = std::make_unique<KeyboardUser>(display());
    ASSERT_TRUE(user_->ok());
  }

  void TearDown() override {
    user_.reset();
    endHotKeys();
    X11BackendTest::TearDown();
  }

  /// As the program quits: the monitor lets its keys go while the server is there, then the server goes.
  void endHotKeys() {
    SharedInstances::resetAll();
    scope_.reset();
    hotKeys_.reset();
  }

  tilvane::x11::X11HotKeys& server() { return hotKeys_->server(); }
  MASShortcutMonitor& monitor() { return MASShortcutMonitor::sharedMonitor(); }
  bool registerCounting(const MASShortcut& shortcut, int& runs) {
    return monitor().registerShortcut(shortcut, [&runs] { ++runs; });
  }
  /// Types Control+Alt+`keysym` and waits until `runs` reaches `expected`.
  bool pressReaches(std::uint32_t keysym, int& runs, int expected) {
    user_->typeKeysym({kControlL, kAltL}, keysym);
    return waitUntil([&] { return runs >= expected; }) && runs == expected;
  }
  /// Whether another program can take every lock variant of `key` with Control+Alt.
  bool freeForOthers(xcb_keycode_t key) {
    bool free = true;
    for (const std::uint16_t lock : kLockStates) {
      const auto mods = static_cast<std::uint16_t>(kControlMod1 | lock);
      if (user_->grab(key, mods) == 0)
        user_->ungrab(key, mods);
      else
        free = false;
    }
    return free;
  }

  std::unique_ptr<tilvane::x11::X11DesktopHotKeys> hotKeys_;
  std::unique_ptr<HotKeyServer::Scope> scope_;
  std::unique_ptr<KeyboardUser> user_;
};

TEST_F(X11HotKeysTest, APressRunsItsActionWhateverLocksAreOnAndOnALaterTurn) {
  int runs = 0, others = 0;
  ASSERT_TRUE(registerCounting(MASShortcut(kVK_ANSI_1, kControlOption), runs));
  ASSERT_TRUE(registerCounting(MASShortcut(kVK_ANSI_1, kControlOption | kCGEventFlagMaskShift), others));
  const std::pair<bool, bool> locks[] = {{false, false}, {true, false}, {true, true}, {false, true}};
  for (const auto& [caps, num] : locks) {
    user_->setCapsLock(caps);
    user_->setNumLock(num);
    ASSERT_EQ(user_->isOn(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2), caps && num);
    ASSERT_TRUE(pressReaches('1', runs, runs + 1)) << "Caps Lock " << caps << ", Num Lock " << num;
  }
  user_->setNumLock(false);

  // Other modifiers make another shortcut; a modifier too few makes none of ours.
  user_->typeKeysym({kControlL, kAltL, kShiftL}, '1');
  ASSERT_TRUE(waitUntil([&] { return others == 1; }));
  user_->typeKeysym({kControlL}, '1');
  catchUp();
  EXPECT_EQ(runs, 4);
  EXPECT_EQ(others, 1);

  // The action runs on a turn of its own, not while the connection's events are read.
  xcb_key_press_event_t press{};
  press.response_type = XCB_KEY_PRESS;
  press.detail = user_->keycodeOf('1');
  press.state = kControlMod1;
  ASSERT_TRUE(server().handle(reinterpret_cast<const xcb_generic_event_t&>(press)));
  EXPECT_EQ(runs, 4);
  drain();
  EXPECT_EQ(runs, 5);
}

TEST_F(X11HotKeysTest, AKeyAnotherProgramHoldsIsReportedWithItsKeyAndNothingOfItIsKept) {
  const xcb_keycode_t three = user_->keycodeOf('3');
  ASSERT_NE(three, 0);
  // The other program holds the combination only with Num Lock on; the plain variant is free.
  ASSERT_EQ(user_->grab(three, kControlMod1 | XCB_MOD_MASK_2), 0);
  LogManager::Capture capture;
  int runs = 0;
  EXPECT_FALSE(registerCounting(MASShortcut(kVK_ANSI_3, kControlOption), runs));
  EXPECT_EQ(capture.count("hot key Control+Option+key 20 is not available: another program holds it"), 1u)
      << ::testing::PrintToString(capture.lines());
  EXPECT_FALSE(server().combinationOf(MASShortcut(kVK_ANSI_3, kControlOption)));
  // The variants that were granted have been let go again.
  EXPECT_EQ(user_->grab(three, kControlMod1), 0);
  user_->ungrab(three, kControlMod1);

  // The program goes on: other keys work, and this one too once the other program lets it go.
  ASSERT_TRUE(registerCounting(MASShortcut(kVK_ANSI_4, kControlOption), runs));
  ASSERT_TRUE(pressReaches('4', runs, 1));
  user_->ungrab(three, kControlMod1 | XCB_MOD_MASK_2);
  ASSERT_TRUE(registerCounting(MASShortcut(kVK_ANSI_3, kControlOption), runs));
  ASSERT_TRUE(pressReaches('3', runs, 2));
}

TEST_F(X11HotKeysTest, HeldKeysAreLetGoOnUnregisterAndWhenTheHotKeysGo) {
  const MASShortcut five(kVK_ANSI_5, kControlOption), six(kVK_ANSI_6, kControlOption);
  int runs = 0;
  ASSERT_TRUE(registerCounting(five, runs));
  ASSERT_TRUE(registerCounting(six, runs));
  for (const std::uint16_t lock : kLockStates)
    EXPECT_EQ(user_->grab(user_->keycodeOf('5'), static_cast<std::uint16_t>(kControlMod1 | lock)), kBadAccess);

  monitor().unregisterShortcut(five);
  EXPECT_TRUE(freeForOthers(user_->keycodeOf('5')));
  EXPECT_FALSE(freeForOthers(user_->keycodeOf('6')));
  user_->typeKeysym({kControlL, kAltL}, '5');
  catchUp();
  EXPECT_EQ(runs, 0);

  // Gone, the hot keys let every key go and the backend feeds nobody.
  endHotKeys();
  EXPECT_TRUE(freeForOthers(user_->keycodeOf('6')));
  user_->typeKeysym({kControlL, kAltL}, '6');
  catchUp();
  EXPECT_EQ(runs, 0);
}

TEST_F(X11HotKeysTest, WhenTheKeyboardMappingChangesTheHotKeyFollowsItsKeyOrWaitsForItToComeBack) {
  const MASShortcut shortcut(kVK_ANSI_6, kControlOption);
  int runs = 0;
  LogManager::Capture capture;
  ASSERT_TRUE(registerCounting(shortcut, runs));
  const xcb_keycode_t six = user_->keycodeOf('6');
  ASSERT_NE(six, 0);
  const xcb_keycode_t spare = 248;  // a key code the test desktop's keyboard leaves without symbols
  const auto heldOn = [&](xcb_keycode_t key) {
    const auto combination = server().combinationOf(shortcut);
    return combination && combination->keycodes == std::vector<xcb_keycode_t>{key};
  };
  const auto state = [&] { return ::testing::PrintToString(capture.lines()); };
  {
    MovedKey moved(*user_, six, spare);
    ASSERT_TRUE(waitUntil([&] { return heldOn(spare); })) << state();
    user_->type({kControlL, kAltL}, spare);
    ASSERT_TRUE(waitUntil([&] { return runs == 1; })) << state();
    // The old key is no longer ours: another program may take it.
    EXPECT_EQ(user_->grab(six, kControlMod1), 0);
    user_->ungrab(six, kControlMod1);
  }
  ASSERT_TRUE(waitUntil([&] { return heldOn(six); })) << state();
  ASSERT_TRUE(pressReaches('6', runs, 2)) << state();

  {
    MovedKey gone(*user_, six, std::nullopt);  // '6' is off the keyboard
    ASSERT_TRUE(waitUntil([&] { return capture.contains("hot key Control+Option+key 22 is not available"); }));
    EXPECT_FALSE(server().combinationOf(shortcut));
    EXPECT_TRUE(monitor().isShortcutRegistered(shortcut));
  }
  ASSERT_TRUE(waitUntil([&] { return heldOn(six); })) << state();
  ASSERT_TRUE(pressReaches('6', runs, 3)) << state();
}

// A stored hot key another client holds when the program starts: its recorder says so, and once that client
// lets go the program takes the key by itself, within one retry on the clock.
TEST_F(X11HotKeysTest, AStoredKeyAnotherClientHeldAtTheStartActsSoonAfterItIsLetGo) {
  const xcb_keycode_t seven = user_->keycodeOf('7');
  ASSERT_EQ(user_->grab(seven, kControlMod1), 0);
  ShortcutDefaults::shared().setShortcut("restoreShortcut", MASShortcut(kVK_ANSI_7, kControlOption));
  int runs = 0;
  MASShortcutBinder::sharedBinder().bindShortcutWithDefaultsKey("restoreShortcut", [&runs] { ++runs; });
  ShortcutRecorder recorder;
  recorder.setAssociatedUserDefaultsKey("restoreShortcut");
  EXPECT_EQ(recorder.message(), RecorderMessage::takenByProgram);

  user_->ungrab(seven, kControlMod1);
  advance(MASShortcutMonitor::kRetryInterval);
  EXPECT_EQ(recorder.message(), RecorderMessage::none);
  ASSERT_TRUE(pressReaches('7', runs, 1));
}

}  // namespace
}  // namespace tilvane::test::x11
