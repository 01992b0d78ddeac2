#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/desktop/EventPosting.h"
#include "platform/desktop/WindowServer.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::sim {
namespace {

// A world with a sim desktop installed and every notification counted.
class SimDesktopTest : public test::WorldTest {
 protected:
  SimDesktop& make(SpacesMode mode, int sharedSpaces = 1) {
    sim_ = std::make_unique<SimDesktop>(mode, sharedSpaces);
    scope_.emplace(*sim_);
    auto& c = sim_->notificationCenter();
    c.activeSpaceDidChange().subscribe([this](rx::Unit) { log_.push_back("space"); }).disposed(bag_);
    c.screenParametersDidChange().subscribe([this](rx::Unit) { log_.push_back("screens"); }).disposed(bag_);
    c.didWake().subscribe([this](rx::Unit) { log_.push_back("wake"); }).disposed(bag_);
    c.screensDidWake().subscribe([this](rx::Unit) { log_.push_back("screensWake"); }).disposed(bag_);
    return *sim_;
  }
  static void pressControlDigit(CGKeyCode key) {
    auto down = CGEventCreateKeyboardEvent(key, true);
    auto up = CGEventCreateKeyboardEvent(key, false);
    ASSERT_TRUE(down && up);
    CGEventSetFlags(*down, kCGEventFlagMaskControl);
    CGEventPost(CGEventTapLocation::hid, *down);
    CGEventPost(CGEventTapLocation::hid, *up);
  }

  std::unique_ptr<SimDesktop> sim_;
  std::optional<Desktop::Scope> scope_;
  rx::DisposeBag bag_;
  std::vector<std::string> log_;
};

TEST_F(SimDesktopTest, SharedDesktopsAreListedForEveryDisplayWithOneCurrent) {
  auto& sim = make(SpacesMode::shared, 3);
  const auto a = sim.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
  const auto b = sim.addDisplay({.frame = CGRectMake(1440, 0, 1920, 1080)});
  ASSERT_TRUE(sim.switchToSpace(sim.spaceUuids()[1]));

  const auto screens = NSScreen::screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].visibleFrame, CGRectMake(0, 0, 1440, 877));
  EXPECT_EQ(screens[1].visibleFrame, screens[1].frame);
  EXPECT_FALSE(NSScreen::screensHaveSeparateSpaces());

  const auto listing = CGSCopyManagedDisplaySpaces();
  ASSERT_TRUE(listing);
  ASSERT_EQ(listing->size(), 2u);
  EXPECT_EQ((*listing)[0].displayIdentifier, a);
  EXPECT_EQ((*listing)[1].displayIdentifier, b);
  for (const auto& entry : *listing) {
    ASSERT_TRUE(entry.spaces);
    EXPECT_EQ(entry.spaces->size(), 3u);
    EXPECT_EQ(entry.currentSpace, ManagedSpace{sim.spaceUuids()[1]});
  }
}

TEST_F(SimDesktopTest, SeparateDesktopsFollowTheWindowServerOrderAndHideUnnamedDisplays) {
  auto& sim = make(SpacesMode::separate);
  const auto left = sim.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .spaceCount = 3});
  const auto right = sim.addDisplay({.frame = CGRectMake(1440, 0, 1920, 1080), .spaceCount = 2});
  sim.addDisplay({.frame = CGRectMake(0, 900, 800, 600), .named = false});
  sim.setManagedDisplayOrder({right});

  const auto listing = CGSCopyManagedDisplaySpaces();
  ASSERT_TRUE(listing);
  ASSERT_EQ(listing->size(), 3u);
  EXPECT_EQ((*listing)[0].displayIdentifier, right);
  EXPECT_EQ((*listing)[0].spaces->size(), 2u);
  EXPECT_EQ((*listing)[1].displayIdentifier, left);
  EXPECT_EQ((*listing)[1].spaces->size(), 3u);
  EXPECT_FALSE((*listing)[2].displayIdentifier);

  EXPECT_EQ(CGSCopyBestManagedDisplayForRect(CGRectMake(100, 100, 10, 10)), left);
  // Mostly on the right-hand display.
  EXPECT_EQ(CGSCopyBestManagedDisplayForRect(CGRectMake(1400, 100, 200, 10)), right);
  // A point belongs to the display that holds it; the unnamed display gives no name.
  EXPECT_EQ(CGSCopyBestManagedDisplayForRect(CGRectMake(1500, 10, 0, 0)), right);
  EXPECT_FALSE(CGSCopyBestManagedDisplayForRect(CGRectMake(10, 1000, 10, 10)));
  EXPECT_FALSE(CGSCopyBestManagedDisplayForRect(CGRectMake(-500, -500, 10, 10)));
}

TEST_F(SimDesktopTest, ControlDigitSwitchesLikeTheSystemShortcutAndIsRecorded) {
  auto& sim = make(SpacesMode::separate);
  const auto first = sim.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .spaceCount = 3});
  const auto second = sim.addDisplay({.frame = CGRectMake(1440, 0, 1920, 1080), .spaceCount = 2});

  pressControlDigit(23);  // 5: the second desktop of the second display
  EXPECT_EQ(sim.currentSpaceUuid(second), sim.spaceUuids(second)[1]);
  EXPECT_EQ(sim.currentSpaceUuid(first), sim.spaceUuids(first)[0]);
  ASSERT_EQ(sim.postedEvents().size(), 2u);
  EXPECT_EQ(sim.postedEvents()[0].event.type, CGEventType::keyDown);
  EXPECT_EQ(sim.postedEvents()[0].event.keyCode, 23);
  EXPECT_EQ(sim.postedEvents()[0].event.flags, kCGEventFlagMaskControl);
  EXPECT_EQ(sim.postedEvents()[1].event.type, CGEventType::keyUp);
  EXPECT_EQ(sim.postedEvents()[1].event.flags, 0u);

  EXPECT_TRUE(log_.empty()) << "notifications come on the main loop";
  drain();
  EXPECT_EQ(log_, std::vector<std::string>{"space"});

  pressControlDigit(22);  // 6: no such desktop
  pressControlDigit(19);  // 2
  EXPECT_EQ(sim.currentSpaceUuid(first), sim.spaceUuids(first)[1]);

  // Key-ups, other modifiers and other keys are not the shortcut.
  auto shifted = CGEventCreateKeyboardEvent(18, true);
  CGEventSetFlags(*shifted, kCGEventFlagMaskControl | kCGEventFlagMaskShift);
  CGEventPost(CGEventTapLocation::hid, *shifted);
  auto plain = CGEventCreateKeyboardEvent(18, true);
  CGEventPost(CGEventTapLocation::hid, *plain);
  auto letter = CGEventCreateKeyboardEvent(0, true);
  CGEventSetFlags(*letter, kCGEventFlagMaskControl);
  CGEventPost(CGEventTapLocation::hid, *letter);
  EXPECT_EQ(sim.currentSpaceUuid(first), sim.spaceUuids(first)[1]);
}

TEST_F(SimDesktopTest, ControlZeroIsTheTenthDesktop) {
  auto& sim = make(SpacesMode::shared, 10);
  sim.addDisplay({.frame = CGRectMake(0, 0, 100, 100)});
  pressControlDigit(29);
  EXPECT_EQ(sim.currentSpaceUuid(), sim.spaceUuids()[9]);
}

TEST_F(SimDesktopTest, SwitchingToTheShownDesktopRaisesNothing) {
  auto& sim = make(SpacesMode::shared, 2);
  sim.addDisplay({.frame = CGRectMake(0, 0, 100, 100)});
  EXPECT_TRUE(sim.switchToSpace(sim.spaceUuids()[0]));
  EXPECT_FALSE(sim.switchToSpace("no such desktop"));
  drain();
  EXPECT_TRUE(log_.empty());
}

TEST_F(SimDesktopTest, DisplayChangesAndWakeAreNotified) {
  auto& sim = make(SpacesMode::separate);
  const auto a = sim.addDisplay({.frame = CGRectMake(0, 0, 100, 100), .spaceCount = 2});
  drain();
  EXPECT_TRUE(log_.empty()) << "set-up is silent";

  const auto b = sim.connectDisplay({.frame = CGRectMake(100, 0, 100, 100), .spaceCount = 2});
  EXPECT_EQ(NSScreen::screens().size(), 2u);
  EXPECT_TRUE(sim.rearrangeDisplay(b, CGRectMake(-100, 0, 100, 100), CGRectMake(-100, 0, 100, 90)));
  EXPECT_EQ(NSScreen::screens()[1].visibleFrame, CGRectMake(-100, 0, 100, 90));
  EXPECT_TRUE(sim.disconnectDisplay(a));
  EXPECT_FALSE(sim.disconnectDisplay(a));
  sim.wake();
  drain();
  EXPECT_EQ(log_, (std::vector<std::string>{"screens", "screens", "screens", "wake", "screensWake"}));

  const auto listing = CGSCopyManagedDisplaySpaces();
  ASSERT_EQ(listing->size(), 1u);
  EXPECT_EQ((*listing)[0].displayIdentifier, b);
}

TEST_F(SimDesktopTest, MainScreenDefaultsToTheFirstDisplay) {
  auto& sim = make(SpacesMode::shared);
  EXPECT_FALSE(NSScreen::mainScreen());
  sim.addDisplay({.frame = CGRectMake(0, 0, 100, 100)});
  const auto second = sim.addDisplay({.frame = CGRectMake(100, 0, 50, 50)});
  EXPECT_EQ(NSScreen::mainScreen()->frame, CGRectMake(0, 0, 100, 100));
  sim.setMainDisplay(second);
  EXPECT_EQ(NSScreen::mainScreen()->frame, CGRectMake(100, 0, 50, 50));
  sim.disconnectDisplay(second);
  EXPECT_EQ(NSScreen::mainScreen()->frame, CGRectMake(0, 0, 100, 100));
}

TEST_F(SimDesktopTest, ScriptedListingAndRefusedEventsStandInForAnUnwillingWindowServer) {
  auto& sim = make(SpacesMode::shared);
  sim.addDisplay({.frame = CGRectMake(0, 0, 100, 100)});
  sim.scriptManagedDisplaySpaces(std::nullopt);
  EXPECT_FALSE(CGSCopyManagedDisplaySpaces());
  const ManagedDisplaySpaces odd{ManagedDisplay{std::nullopt, std::vector<ManagedSpace>{{}, {"X"}}, std::nullopt}};
  sim.scriptManagedDisplaySpaces(odd);
  EXPECT_EQ(CGSCopyManagedDisplaySpaces(), odd);
  sim.clearScriptedManagedDisplaySpaces();
  EXPECT_EQ(CGSCopyManagedDisplaySpaces()->size(), 1u);

  sim.refuseEventCreation([](const CGEvent& e) { return e.type == CGEventType::keyUp; });
  EXPECT_TRUE(CGEventCreateKeyboardEvent(18, true));
  EXPECT_FALSE(CGEventCreateKeyboardEvent(18, false));
}

}  // namespace
}  // namespace tilvane::sim
