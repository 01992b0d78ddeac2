#include <gtest/gtest.h>

#include "platform/base/SharedInstance.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

constexpr std::uint64_t kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;
constexpr CGEventFlags kCapsLock = 0x10000;

TEST(MASShortcutTest, OnlyTheFourModifiersCountAndKeyCodesNeverWrap) {
  const MASShortcut plain(18, kControlOption);
  EXPECT_EQ(plain, MASShortcut(18, kControlOption | kCapsLock | 0x1));
  EXPECT_EQ(MASShortcut(18, kControlOption | kCapsLock).modifierFlags(), kControlOption);
  EXPECT_NE(plain, MASShortcut(18, kCGEventFlagMaskControl));
  EXPECT_NE(plain, MASShortcut(19, kControlOption));
  // A stored value past the 16-bit range must not wrap onto key 18.
  EXPECT_EQ(MASShortcut(65536 + 18, 0).keyCode(), 65536u + 18);
  EXPECT_NE(MASShortcut(65536 + 18, 0), MASShortcut(18, 0));
}

class HotKeysTest : public test::WorldTest {
 protected:
  MASShortcutMonitor& monitor() { return MASShortcutMonitor::sharedMonitor(); }

  sim::SimHotKeys server_;
  HotKeyServer::Scope scope_{server_};
};

TEST_F(HotKeysTest, APressRunsTheLatestActionOnALaterTurnAndTheActionMayUnregisterItself) {
  const MASShortcut shortcut(18, kControlOption);
  std::string ran;
  ASSERT_TRUE(monitor().registerShortcut(shortcut, [&] { ran += "a"; }));
  const std::size_t requests = server_.grabRequests();
  ASSERT_TRUE(monitor().registerShortcut(shortcut, [&] {
    ran += "b";
    monitor().unregisterShortcut(shortcut);
  }));
  EXPECT_EQ(server_.grabRequests(), requests);  // the action is replaced, the key not grabbed again

  EXPECT_FALSE(server_.press(18, kCGEventFlagMaskControl));  // another combination of the key is not ours
  EXPECT_TRUE(server_.press(18, kControlOption | kCapsLock));
  EXPECT_EQ(ran, "");
  drain();
  EXPECT_EQ(ran, "b");
  EXPECT_FALSE(server_.isGrabbed(shortcut));
}

TEST_F(HotKeysTest, AKeyHeldByAnotherProgramIsRefusedUntilReleased) {
  const MASShortcut shortcut(18, kControlOption);
  server_.setHeldByOtherProgram(shortcut, true);
  int runs = 0;
  EXPECT_FALSE(monitor().registerShortcut(shortcut, [&] { ++runs; }));
  EXPECT_FALSE(monitor().isShortcutRegistered(shortcut));
  EXPECT_FALSE(server_.press(18, kControlOption));

  server_.setHeldByOtherProgram(shortcut, false);
  EXPECT_TRUE(monitor().registerShortcut(shortcut, [&] { ++runs; }));
  server_.press(18, kControlOption);
  drain();
  EXPECT_EQ(runs, 1);

  // Once ours, another program cannot take it from us.
  server_.setHeldByOtherProgram(shortcut, true);
  EXPECT_TRUE(server_.press(18, kControlOption));
}

TEST(HotKeysWithoutServerTest, RegisteringWithoutABackendFails) {
  ASSERT_EQ(HotKeyServer::current(), nullptr);
  MASShortcutMonitor monitor;
  EXPECT_FALSE(monitor.registerShortcut(MASShortcut(18, kControlOption), [] {}));
  EXPECT_FALSE(monitor.isShortcutRegistered(MASShortcut(18, kControlOption)));
}

TEST_F(HotKeysTest, AKeyGoesWithItsPendingPressOnUnregisterAndEveryKeyGoesWithTheMonitor) {
  const MASShortcut shortcut(18, kControlOption), other(19, 0);
  int runs = 0;
  ASSERT_TRUE(monitor().registerShortcut(shortcut, [&] { ++runs; }));
  ASSERT_TRUE(monitor().registerShortcut(other, [&] { ++runs; }));
  EXPECT_TRUE(server_.press(18, kControlOption));
  monitor().unregisterShortcut(shortcut);
  monitor().unregisterShortcut(shortcut);  // no longer registered: the other grabs stay
  drain();
  EXPECT_EQ(runs, 0);
  EXPECT_FALSE(server_.isGrabbed(shortcut));
  EXPECT_TRUE(server_.isGrabbed(other));

  SharedInstances::resetAll();
  EXPECT_TRUE(server_.grabbed().empty());
  EXPECT_FALSE(server_.press(19, 0));  // a press reaching no monitor makes none
  EXPECT_FALSE(MASShortcutMonitor::exists());
}

}  // namespace
}  // namespace tilvane
