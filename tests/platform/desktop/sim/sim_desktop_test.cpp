// The simulated desktop's own behaviour: listings in both desktop modes, display changes and scripted answers.
// What every backend shares (launches, windows, Control+digit) is in the desktop contract.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/desktop/EventPosting.h"
#include "platform/desktop/WindowServer.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::sim {
namespace {

class SimDesktopTest : public test::WorldTest {
 protected:
  SimDesktop& make(SpacesMode mode, int sharedSpaces = 1) {
    sim_ = std::make_unique<SimDesktop>(mode, sharedSpaces);
    scope_.emplace(*sim_);
    auto& c = sim_->notificationCenter();
    const auto record = [this](const char* what) { return [this, what](rx::Unit) { log_.push_back(what); }; };
    c.activeSpaceDidChange().subscribe(record("space")).disposed(bag_);
    c.screenParametersDidChange().subscribe(record("screens")).disposed(bag_);
    c.didWake().subscribe(record("wake")).disposed(bag_);
    c.screensDidWake().subscribe(record("screensWake")).disposed(bag_);
    return *sim_;
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
  EXPECT_TRUE(sim.switchToSpace(sim.spaceUuids()[1]));  // already shown: nothing to tell
  EXPECT_FALSE(sim.switchToSpace("no such desktop"));
  drain();
  EXPECT_EQ(log_, std::vector<std::string>{"space"});

  const auto screens = NSScreen::screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].visibleFrame, CGRectMake(0, 0, 1440, 877));
  EXPECT_EQ(screens[1].visibleFrame, screens[1].frame);
  EXPECT_FALSE(NSScreen::screensHaveSeparateSpaces());
  const auto listing = CGSCopyManagedDisplaySpaces();
  ASSERT_TRUE(listing && listing->size() == 2u);
  EXPECT_EQ((*listing)[0].displayIdentifier, a);
  EXPECT_EQ((*listing)[1].displayIdentifier, b);
  for (const auto& entry : *listing) {
    ASSERT_TRUE(entry.spaces);
    EXPECT_EQ(entry.spaces->size(), 3u);
    EXPECT_EQ(entry.currentSpace, ManagedSpace{sim.spaceUuids()[1]});
  }
}

TEST_F(SimDesktopTest, SeparateDesktopsFollowTheWindowServerOrderAndControlDigitCountsAcrossDisplays) {
  auto& sim = make(SpacesMode::separate);
  const auto left = sim.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .spaceCount = 3});
  const auto right = sim.addDisplay({.frame = CGRectMake(1440, 0, 1920, 1080), .spaceCount = 2});
  sim.addDisplay({.frame = CGRectMake(0, 900, 800, 600), .named = false});
  sim.setManagedDisplayOrder({right});

  const auto listing = CGSCopyManagedDisplaySpaces();
  ASSERT_TRUE(listing && listing->size() == 3u);
  EXPECT_EQ((*listing)[0].displayIdentifier, right);
  EXPECT_EQ((*listing)[0].spaces->size(), 2u);
  EXPECT_EQ((*listing)[1].displayIdentifier, left);
  EXPECT_FALSE((*listing)[2].displayIdentifier);
  EXPECT_EQ(CGSCopyBestManagedDisplayForRect(CGRectMake(1400, 100, 200, 10)), right);  // mostly on the right
  EXPECT_EQ(CGSCopyBestManagedDisplayForRect(CGRectMake(1500, 10, 0, 0)), right);      // a point
  EXPECT_FALSE(CGSCopyBestManagedDisplayForRect(CGRectMake(10, 1000, 10, 10)));        // the unnamed display
  EXPECT_FALSE(CGSCopyBestManagedDisplayForRect(CGRectMake(-500, -500, 10, 10)));

  // Control+5: counted in the listing order (right 1-2, left 3-5): the third of the left display. It is recorded.
  auto down = CGEventCreateKeyboardEvent(23, true);
  CGEventSetFlags(*down, kCGEventFlagMaskControl);
  CGEventPost(CGEventTapLocation::hid, *down);
  EXPECT_EQ(sim.currentSpaceUuid(left), sim.spaceUuids(left)[2]);
  EXPECT_EQ(sim.currentSpaceUuid(right), sim.spaceUuids(right)[0]);
  ASSERT_EQ(sim.postedEvents().size(), 1u);
  EXPECT_EQ(sim.postedEvents()[0].event.flags, kCGEventFlagMaskControl);
}

TEST_F(SimDesktopTest, DisplayChangesAndWakeAreNotifiedButSetUpIsSilent) {
  auto& sim = make(SpacesMode::separate);
  const auto a = sim.addDisplay({.frame = CGRectMake(0, 0, 100, 100), .spaceCount = 2});
  drain();
  EXPECT_TRUE(log_.empty());

  const auto b = sim.connectDisplay({.frame = CGRectMake(100, 0, 100, 100), .spaceCount = 2});
  EXPECT_EQ(NSScreen::mainScreen()->frame, CGRectMake(0, 0, 100, 100));
  sim.setMainDisplay(b);
  EXPECT_EQ(NSScreen::mainScreen()->frame, CGRectMake(100, 0, 100, 100));
  EXPECT_TRUE(sim.rearrangeDisplay(b, CGRectMake(-100, 0, 100, 100), CGRectMake(-100, 0, 100, 90)));
  EXPECT_EQ(NSScreen::screens()[1].visibleFrame, CGRectMake(-100, 0, 100, 90));
  EXPECT_TRUE(sim.disconnectDisplay(a));
  EXPECT_FALSE(sim.disconnectDisplay(a));
  sim.wake();
  drain();
  EXPECT_EQ(log_, (std::vector<std::string>{"screens", "screens", "screens", "wake", "screensWake"}));
  ASSERT_EQ(CGSCopyManagedDisplaySpaces()->size(), 1u);
  EXPECT_EQ(CGSCopyManagedDisplaySpaces()->front().displayIdentifier, b);
}

}  // namespace
}  // namespace tilvane::sim
