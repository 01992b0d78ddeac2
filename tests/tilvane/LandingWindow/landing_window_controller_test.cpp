// The landing window's pager on a window without a screen: page walk, check steps, the alert, closing.
#include <gtest/gtest.h>

#include <memory>

#include "LandingWindow/LandingWindowController.h"
#include "tilvane/LandingWindow/FakeLandingView.h"

namespace tilvane::test {
namespace {

class LandingPagerTest : public ::testing::Test {
 protected:
  /// Page 0 plain, page 1 with a check step whose next action answers `passes`, page 2 the last, with a
  /// previous-button title.
  void open(int pages = 3) {
    pager.reset();
    std::vector<LandingWindowItem> items(static_cast<std::size_t>(pages));
    items[0].nextTitle = "First";
    if (pages > 1) {
      items[1].nextTitle = "Done";
      items[1].checkTitle = "Check";
      items[1].checkAction = [this] { ++checks; };
      items[1].nextAction = [this] { return passes; };
    }
    if (pages > 2) {
      items[2].nextTitle = "Last";
      items[2].prevTitle = "Back";
      items[2].nextAction = [this] {
        ++lastActions;
        return false;  // ignored on a page without a check step
      };
    }
    pager = std::make_unique<LandingWindowController>(
        std::make_unique<FakeLandingView>(view), std::move(items),
        LandingWindowController::Environment{[this] { return trusted; }, [this] { ++terminations; },
                                             [this] { ++trustedCloses; }});
  }

  FakeLandingState view;
  std::unique_ptr<LandingWindowController> pager;
  bool passes = false;
  bool trusted = false;
  int checks = 0;
  int lastActions = 0;
  int terminations = 0;
  int trustedCloses = 0;
};

TEST_F(LandingPagerTest, WalksThePagesThroughTheCheckStepAndTheAlert) {
  open();
  EXPECT_TRUE(view.open);
  EXPECT_EQ(view.next, "First");
  EXPECT_TRUE(view.prevHidden);

  view.pressNext();
  EXPECT_EQ(pager->index(), -1);
  EXPECT_DOUBLE_EQ(view.stripX, -600);
  EXPECT_EQ(view.next, "Check");
  EXPECT_TRUE(view.nextHidden && view.prevHidden) << "no press may arrive while the strip slides";
  view.finishSlide();
  EXPECT_FALSE(view.nextHidden);
  EXPECT_TRUE(view.prevHidden);

  view.pressNext();  // the check step: the page stays, the button takes its next title
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(view.next, "Done");
  EXPECT_EQ(pager->index(), -1);
  EXPECT_TRUE(pager->items()[1].checked);

  view.pressNext();  // the next action says no: the alert, and the page stays
  EXPECT_EQ(view.alerts, std::vector<std::string>{"Accessibility disabled|Please enable Accessibility|OK"});
  EXPECT_EQ(pager->index(), -1);
  EXPECT_EQ(checks, 1) << "the check step runs once";

  passes = true;
  view.pressNext();
  EXPECT_EQ(pager->index(), -2);
  EXPECT_DOUBLE_EQ(view.stripX, -1200);
  EXPECT_EQ(view.next, "Last");
  EXPECT_EQ(view.prev, "Back");
  view.finishSlide();
  EXPECT_FALSE(view.prevHidden) << "a page with a previous title shows the button";

  pager->showNextPage();  // on the last page: nothing
  EXPECT_EQ(pager->index(), -2);
  EXPECT_DOUBLE_EQ(view.stripX, -1200);
}

TEST_F(LandingPagerTest, TheLastPageRunsItsActionAndClosesTheWindow) {
  open();
  passes = true;
  for (int press = 0; press < 3; ++press) {
    view.pressNext();
    view.finishSlide();
  }
  ASSERT_EQ(pager->index(), -2);
  view.pressNext();
  EXPECT_EQ(lastActions, 1);
  EXPECT_FALSE(view.open);
  EXPECT_EQ(terminations, 1) << "closed while untrusted, the program ends";
}

TEST_F(LandingPagerTest, ClosingEndsTheProgramOnlyWhileUntrusted) {
  open(1);
  view.pressNext();  // one page: next closes at once
  EXPECT_FALSE(view.open);
  EXPECT_EQ(terminations, 1);

  open();
  trusted = true;
  view.closeBox();
  view.closeBox();
  EXPECT_EQ(terminations, 1);
  EXPECT_EQ(trustedCloses, 1) << "reported once, however often the window says it closes";
}

}  // namespace
}  // namespace tilvane::test
