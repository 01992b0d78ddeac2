// Global hot keys on a real X server: grabs on the root window, presses typed by another client through XTEST,
// keys held by other programs, and keyboard mapping changes.
#include <gtest/gtest.h>

#include "AppManager/Logging/LogManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/x11/EventPump.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/x11/X11HotKeys.h"
#include "platform/hotkeys/x11/user/KeyboardUser.h"
#include "support/x11/TestDesktop.h"

namespace tilvane::test::x11 {
namespace {

using tilvane::x11::X11HotKeys;
using tilvane::x11::XConnection;

constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9, kShiftL = 0xffe1;
constexpr CGEventFlags kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;
constexpr std::uint16_t kControlMod1 = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr std::uint8_t kBadAccess = 10;
constexpr std::uint16_t kLockStates[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

class X11HotKeysTest : public X11DesktopTest {
 protected:
  void SetUp() override {
    X11DesktopTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    x_ = XConnection::open(display(), &error);
    ASSERT_TRUE(x_) << error;
    server_ = std::make_unique<X11HotKeys>(*x_);
    scope_ = std::make_unique<HotKeyServer::Scope>(*server_);
    pump_ = std::make_unique<tilvane::x11::EventPump>(
        *x_, [this](const xcb_generic_event_t& e) { server_->handle(e); }, nullptr, nullptr);
    setPump([this] {
      notifyReadableDescriptors(loop());
      drain();
    });
    user_ = std::make_unique<KeyboardUser>(display());
    ASSERT_TRUE(user_->ok());
  }

  void TearDown() override {
    setPump(nullptr);
    user_.reset();
    SharedInstances::resetAll();  // the monitor lets its keys go while the server is there
    pump_.reset();
    scope_.reset();
    server_.reset();
    x_.reset();
    X11DesktopTest::TearDown();
  }

  MASShortcutMonitor& monitor() { return MASShortcutMonitor::sharedMonitor(); }
  /// Registers `shortcut` with an action that counts into `runs`.
  bool registerCounting(const MASShortcut& shortcut, int& runs) {
    return monitor().registerShortcut(shortcut, [&runs] { ++runs; });
  }
  /// Types Control+Alt+`keysym` and waits until `runs` reaches `expected`.
  bool pressReaches(std::uint32_t keysym, int& runs, int expected) {
    user_->typeKeysym({kControlL, kAltL}, keysym);
    return waitUntil([&] { return runs >= expected; }) && runs == expected;
  }
  /// Handles every event the server sent so far: the typing has been processed (the user synced), so after a
  /// round trip on our connection any press it made is queued here and handled.
  void catchUp() {
    x_->sync();
    waitUntil([] { return true; });
  }

  std::unique_ptr<XConnection> x_;
  std::unique_ptr<X11HotKeys> server_;
  std::unique_ptr<HotKeyServer::Scope> scope_;
  std::unique_ptr<tilvane::x11::EventPump> pump_;
  std::unique_ptr<KeyboardUser> user_;
};

TEST_F(X11HotKeysTest, APressRunsItsActionWhateverLocksAreOn) {
  int runs = 0, others = 0;
  ASSERT_TRUE(registerCounting(MASShortcut(kVK_ANSI_1, kControlOption), runs));
  ASSERT_TRUE(registerCounting(MASShortcut(kVK_ANSI_1, kControlOption | kCGEventFlagMaskShift), others));

  ASSERT_TRUE(pressReaches('1', runs, 1));
  user_->setCapsLock(true);
  ASSERT_TRUE(user_->isOn(XCB_MOD_MASK_LOCK));
  ASSERT_TRUE(pressReaches('1', runs, 2));
  user_->setNumLock(true);
  ASSERT_TRUE(pressReaches('1', runs, 3));
  user_->setCapsLock(false);
  ASSERT_TRUE(pressReaches('1', runs, 4));
  user_->setNumLock(false);

  // Other modifiers make another shortcut; a modifier too few makes none of ours.
  user_->typeKeysym({kControlL, kAltL, kShiftL}, '1');
  ASSERT_TRUE(waitUntil([&] { return others == 1; }));
  user_->typeKeysym({kControlL}, '1');
  catchUp();
  EXPECT_EQ(runs, 4);
  EXPECT_EQ(others, 1);
}

TEST_F(X11HotKeysTest, TheActionRunsOnTheMainLoopNotWhileEventsAreRead) {
  int runs = 0;
  ASSERT_TRUE(registerCounting(MASShortcut(kVK_ANSI_2, kControlOption), runs));
  drain();
  user_->typeKeysym({kControlL, kAltL}, '2');
  // Read the connection without running the loop's queued tasks: the press is seen, the action waits.
  setPump(nullptr);
  ASSERT_TRUE(waitUntil([&] {
    notifyReadableDescriptors(loop());
    return loop().pendingCount() > 0;
  }));
  EXPECT_EQ(runs, 0);
  drain();
  EXPECT_EQ(runs, 1);
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
  EXPECT_FALSE(server_->combinationOf(MASShortcut(kVK_ANSI_3, kControlOption)));
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

TEST_F(X11HotKeysTest, HeldKeysAreTakenFromOthersAndLetGoOnUnregister) {
  const MASShortcut shortcut(kVK_ANSI_5, kControlOption);
  int runs = 0;
  ASSERT_TRUE(registerCounting(shortcut, runs));
  const xcb_keycode_t five = user_->keycodeOf('5');
  for (const std::uint16_t lock : kLockStates)
    EXPECT_EQ(user_->grab(five, static_cast<std::uint16_t>(kControlMod1 | lock)), kBadAccess) << lock;

  monitor().unregisterShortcut(shortcut);
  for (const std::uint16_t lock : kLockStates) {
    const auto mods = static_cast<std::uint16_t>(kControlMod1 | lock);
    EXPECT_EQ(user_->grab(five, mods), 0) << lock;
    user_->ungrab(five, mods);
  }
  user_->typeKeysym({kControlL, kAltL}, '5');
  catchUp();
  EXPECT_EQ(runs, 0);
}

TEST_F(X11HotKeysTest, UnknownKeysAndKeysNotOnTheKeyboardAreReported) {
  LogManager::Capture capture;
  EXPECT_FALSE(monitor().registerShortcut(MASShortcut(0x0A, kControlOption), [] {}));  // no keysym
  EXPECT_FALSE(monitor().registerShortcut(MASShortcut(70000, kControlOption), [] {}));
  EXPECT_EQ(capture.count("is not available: no key has the key code"), 2u) << ::testing::PrintToString(capture.lines());
}

TEST_F(X11HotKeysTest, WhenTheKeyboardMappingChangesTheHotKeyFollowsItsKey) {
  const MASShortcut shortcut(kVK_ANSI_6, kControlOption);
  int runs = 0;
  LogManager::Capture capture;
  ASSERT_TRUE(registerCounting(shortcut, runs));
  const xcb_keycode_t six = user_->keycodeOf('6');
  ASSERT_NE(six, 0);
  const xcb_keycode_t spare = 248;  // a key code the test desktop's keyboard leaves without symbols
  const auto heldOn = [&](xcb_keycode_t key) {
    const auto combination = server_->combinationOf(shortcut);
    return combination && combination->keycodes == std::vector<xcb_keycode_t>{key};
  };
  const auto state = [&] {
    const auto combination = server_->combinationOf(shortcut);
    std::string keys = combination ? "" : " none";
    for (const auto key : combination ? combination->keycodes : std::vector<xcb_keycode_t>{})
      keys += " " + std::to_string(key);
    return "keys" + keys + ", runs " + std::to_string(runs) + ", log " + ::testing::PrintToString(capture.lines());
  };
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
}

TEST_F(X11HotKeysTest, AHotKeyWhoseKeyVanishesWaitsForItToComeBack) {
  const MASShortcut shortcut(kVK_ANSI_7, kControlOption);
  int runs = 0;
  ASSERT_TRUE(registerCounting(shortcut, runs));
  const xcb_keycode_t seven = user_->keycodeOf('7');
  LogManager::Capture capture;
  {
    MovedKey moved(*user_, seven, std::nullopt);  // '7' is gone from the keyboard
    ASSERT_TRUE(waitUntil([&] { return capture.contains("hot key Control+Option+key 26 is not available"); }));
    EXPECT_FALSE(server_->combinationOf(shortcut));
    EXPECT_TRUE(monitor().isShortcutRegistered(shortcut));
  }
  ASSERT_TRUE(waitUntil([&] { return server_->combinationOf(shortcut).has_value(); }));
  ASSERT_TRUE(pressReaches('7', runs, 1));
}

}  // namespace
}  // namespace tilvane::test::x11
