// Two monitors side by side ("left" at x 0 and "right" at x 1920, 1920x1080 each), the tray along the bottom
// of the left one only.
#include <gtest/gtest.h>

#include "platform/desktop/NSScreen.h"
#include "platform/desktop/SIWindow.h"
#include "platform/desktop/WindowServer.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {
namespace {

const CGRect kLeft = CGRectMake(0, 0, 1920, 1080);
const CGRect kRight = CGRectMake(1920, 0, 1920, 1080);

class X11TwoMonitorsTest : public X11BackendTest {};

TEST_F(X11TwoMonitorsTest, BothMonitorsAreDisplaysAndOnlyTheLeftLosesTheTray) {
  const auto screens = NSScreen::screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[0].frame, kLeft);  // at the origin: the primary
  EXPECT_EQ(screens[0].visibleFrame, CGRectMake(0, 24, 1920, 1056));
  EXPECT_EQ(screens[1].frame, kRight);
  EXPECT_EQ(screens[1].visibleFrame, kRight);

  const auto left = CGSCopyBestManagedDisplayForRect(kLeft), right = CGSCopyBestManagedDisplayForRect(kRight);
  ASSERT_TRUE(left && right);
  EXPECT_NE(*left, *right);
  EXPECT_EQ(CGSCopyBestManagedDisplayForRect(CGRectMake(1800, 100, 400, 300)), right);  // mostly on the right

  const auto listing = CGSCopyManagedDisplaySpaces();
  ASSERT_TRUE(listing);
  ASSERT_EQ(listing->size(), 2u);
  EXPECT_EQ((*listing)[0].displayIdentifier, left);
  EXPECT_EQ((*listing)[1].displayIdentifier, right);
  EXPECT_EQ((*listing)[0].spaces, (*listing)[1].spaces);  // one numbering shared by both
  EXPECT_EQ((*listing)[0].spaces->size(), 4u);
}

TEST_F(X11TwoMonitorsTest, ChangingTheMonitorsIsNotified) {
  int changes = 0;
  auto subscription = desktop().notificationCenter().screenParametersDidChange().subscribe(
      [&](const rx::Unit&) { ++changes; });
  const auto right = CGSCopyBestManagedDisplayForRect(kRight);
  struct Restore {
    ~Restore() { runCommand({"xrandr", "--setmonitor", "right", "1920/508x1080/286+1920+0", "none"}); }
  } restore;

  ASSERT_EQ(runCommand({"xrandr", "--delmonitor", "right"}), 0);
  ASSERT_TRUE(waitUntil([&] { return changes >= 1; }));
  EXPECT_EQ(NSScreen::screens().size(), 1u);
  EXPECT_EQ(CGSCopyBestManagedDisplayForRect(kRight), std::nullopt);

  ASSERT_EQ(runCommand({"xrandr", "--setmonitor", "right", "1920/508x1080/286+1920+0", "none"}), 0);
  ASSERT_TRUE(waitUntil([&] { return changes >= 2 && NSScreen::screens().size() == 2; }));
  // The same monitor again: the same UUID.
  EXPECT_EQ(CGSCopyBestManagedDisplayForRect(kRight), right);
}

}  // namespace
}  // namespace tilvane::test::x11
