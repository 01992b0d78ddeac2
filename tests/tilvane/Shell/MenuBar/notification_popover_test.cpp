// The announcement popover's behaviour on the virtual clock: when it opens, what its buttons do, and which
// announcement it shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"
#include "Shell/MenuBar/MenuBarController.h"
#include "platform/defaults/UserDefaults.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/Shell/RecordingUpdater.h"

namespace tilvane::test {
namespace {

struct NoServices final : RecordingUpdater, LandingWindows, AnnouncementRequester {
  std::unique_ptr<LandingWindowView> makeView() override { return nullptr; }
  void requestAfter(double) override {}
};

/// What the popover's window was told; its buttons are pressed through the actions it was given.
struct PopoverState {
  std::string title;
  int shows = 0;
  int closes = 0;
  std::function<void()> detail;
  std::function<void()> dismiss;
};

struct FakePopoverView final : NotificationPopoverView {
  explicit FakePopoverView(PopoverState& state) : state(state) {}
  void setTitle(const std::string& title) override { state.title = title; }
  void setActions(std::function<void()> detail, std::function<void()> dismiss) override {
    state.detail = std::move(detail);
    state.dismiss = std::move(dismiss);
  }
  void show() override { ++state.shows; }
  void close() override { ++state.closes; }
  PopoverState& state;
};

struct FakeTray final : StatusItemView {
  explicit FakeTray(PopoverState& popover, bool& visible) : popover(popover), visible(visible) {}
  void setImage(const std::string&, bool) override {}
  void setVisible(bool v) override { visible = v; }
  void setMenu(const Menu&) override {}
  bool isSystemTrayAvailable() const override { return true; }
  std::unique_ptr<NotificationPopoverView> makePopoverView() override {
    return std::make_unique<FakePopoverView>(popover);
  }
  PopoverState& popover;
  bool& visible;
};

class NotificationPopoverTest : public WindowWorld {
 protected:
  NotificationPopoverTest() {
    StoreService::shared().configureRealm();
    StatusBar::systemStatusBar().setViewFactory([this] { return std::make_unique<FakeTray>(popover_, iconVisible_); });
    controller_ = VkRxController::make<MenuBarController>(
        ShellServices{services_, services_, services_, [] {}, [] {}, [this](const std::string& url) {
                        opened_.push_back(url);
                        return true;
                      }});
    advance(0.5);
  }
  void announce(const std::string& title, const std::string& url) {
    AppBridge::remoteNotification().onNext({title, url});
  }

  NoServices services_;
  PopoverState popover_;
  bool iconVisible_ = false;
  std::vector<std::string> opened_;
  std::unique_ptr<MenuBarController> controller_;
};

TEST_F(NotificationPopoverTest, AnAnnouncementShowsTheHiddenIconAndOpensThePopoverHalfASecondLater) {
  AppBridge::hideInMenuBarChanged().onNext(true);
  ASSERT_FALSE(iconVisible_);
  announce("Version 2 is out", "https://tilvane.app/news");
  EXPECT_EQ(controller_->notificationPopover(), nullptr) << "shown on the sender's turn";
  drain();
  ASSERT_NE(controller_->notificationPopover(), nullptr);
  EXPECT_TRUE(iconVisible_);
  EXPECT_EQ(controller_->statusBarItem().length(), StatusItem::kVariableLength);
  EXPECT_EQ(popover_.title, "Version 2 is out");
  advance(0.49);
  EXPECT_EQ(popover_.shows, 0);
  advance(0.01);
  EXPECT_EQ(popover_.shows, 1);
  EXPECT_TRUE(controller_->notificationPopover()->isShown());
}

TEST_F(NotificationPopoverTest, DetailOpensAWebLinkAndClosesTheCrossOnlyCloses) {
  announce("T", "https://tilvane.app/news");
  advance(0.5);
  ASSERT_TRUE(popover_.detail && popover_.dismiss);

  popover_.dismiss();
  EXPECT_EQ(popover_.closes, 0) << "closed inside the tap";
  drain();
  EXPECT_EQ(popover_.closes, 1);
  EXPECT_TRUE(opened_.empty());

  announce("T", "https://tilvane.app/news");
  advance(0.5);
  popover_.detail();
  drain();
  EXPECT_EQ(opened_, std::vector<std::string>{"https://tilvane.app/news"});
  EXPECT_EQ(popover_.closes, 2);
  EXPECT_FALSE(controller_->notificationPopover()->isShown());
  EXPECT_NE(controller_->notificationPopover(), nullptr);  // kept for the rest of the process
}

TEST_F(NotificationPopoverTest, LinksThatAreNotWebAddressesAreNeverOpenedButThePopoverStillCloses) {
  LogManager::Capture log;
  for (const std::string link : {"file:///etc/passwd", "javascript:alert(1)", "", "tilvane://action?target=toggle",
                                 "https://exa mple.org"}) {
    announce("T", link);
    advance(0.5);
    const int closes = popover_.closes;
    popover_.detail();
    drain();
    EXPECT_EQ(popover_.closes, closes + 1) << link;
  }
  EXPECT_TRUE(opened_.empty());
  EXPECT_EQ(log.count("announcement link not opened"), 5u);
}

TEST_F(NotificationPopoverTest, EachAnnouncementShowsItsOwnTitleAndLink) {
  announce("First", "https://a.example/1");
  advance(0.5);
  announce("Second", "https://a.example/2");
  advance(0.5);
  EXPECT_EQ(popover_.title, "Second");
  EXPECT_EQ(controller_->notificationPopover()->contentViewController().title(), "Second");
  popover_.detail();
  drain();
  EXPECT_EQ(opened_, std::vector<std::string>{"https://a.example/2"});
  EXPECT_EQ(popover_.shows, 2);
}

}  // namespace
}  // namespace tilvane::test
