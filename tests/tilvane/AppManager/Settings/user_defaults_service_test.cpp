#include <gtest/gtest.h>

#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/LayoutAllTarget.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "platform/base/SharedInstance.h"
#include "platform/defaults/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

using defaults::UserDefaults;

class CountingLayoutTarget : public LayoutAllTarget {
 public:
  void layoutAll() override { ++calls; }
  int calls = 0;
};

class UserDefaultsServiceTest : public test::WorldTest {
 protected:
  /// Drops the in-memory defaults so the next read comes from the file, as in a new launch.
  static void relaunch() { SharedInstance<UserDefaults>::reset(); }

  CountingLayoutTarget target_;
  LayoutAllTarget::Scope scope_{target_};
};

TEST_F(UserDefaultsServiceTest, FreshAccountHasTheDocumentedDefaults) {
  EXPECT_EQ(UserDefaultsService::autoLayoutEnabled(), 1);
  EXPECT_FALSE(UserDefaultsService::gutterEnabled());
  EXPECT_FALSE(UserDefaultsService::showBuildInLayoutAction());
  EXPECT_EQ(UserDefaults::standard().integerForKey(UserDefaultsService::launchAtLoginKey()), 0);
  EXPECT_EQ(UserDefaults::standard().integerForKey(UserDefaultsService::hideInMenuBarKey()), 0);
}

TEST_F(UserDefaultsServiceTest, BooleanSettingsReadStoredBooleansAndIntegers) {
  auto& d = UserDefaults::standard();
  d.setBool("gutterEnabled", false);  // present but false reads as absent
  EXPECT_FALSE(UserDefaultsService::gutterEnabled());
  d.setBool("gutterEnabled", true);
  EXPECT_TRUE(UserDefaultsService::gutterEnabled());
  d.setInteger("showBuildInLayoutAction", 1);
  EXPECT_TRUE(UserDefaultsService::showBuildInLayoutAction());
  d.setInteger("showBuildInLayoutAction", 0);
  EXPECT_FALSE(UserDefaultsService::showBuildInLayoutAction());
}

TEST_F(UserDefaultsServiceTest, AutoLayoutOffIsStoredAndSchedulesNothing) {
  UserDefaultsService::setAutoLayoutEnabled(0);
  EXPECT_EQ(UserDefaultsService::autoLayoutEnabled(), 0);
  EXPECT_EQ(loop().pendingCount(), 0u);
  loop().runUntilIdle();
  EXPECT_EQ(target_.calls, 0);
  relaunch();
  EXPECT_EQ(UserDefaultsService::autoLayoutEnabled(), 0);  // synchronised, not just in memory
}

TEST_F(UserDefaultsServiceTest, AutoLayoutOnLaysOutEverythingOnceAfterTheSetterReturns) {
  UserDefaultsService::setAutoLayoutEnabled(0);
  UserDefaultsService::setAutoLayoutEnabled(1);
  EXPECT_EQ(target_.calls, 0);  // not yet: it runs on the main queue
  EXPECT_EQ(UserDefaultsService::autoLayoutEnabled(), 1);
  drain();
  EXPECT_EQ(target_.calls, 1);
  loop().runUntilIdle();
  EXPECT_EQ(target_.calls, 1);
}

TEST_F(UserDefaultsServiceTest, OnlyTheValueOneSwitchesAutoLayoutOn) {
  UserDefaultsService::setAutoLayoutEnabled(2);
  loop().runUntilIdle();
  EXPECT_EQ(target_.calls, 0);
  EXPECT_EQ(UserDefaultsService::autoLayoutEnabled(), 2);
}

TEST_F(UserDefaultsServiceTest, LayoutAllReachesOnlyATargetStillInstalledWhenItRuns) {
  UserDefaultsService::setAutoLayoutEnabled(1);
  {
    CountingLayoutTarget later;
    LayoutAllTarget::Scope laterScope(later);
    drain();
    EXPECT_EQ(later.calls, 1);  // the target of the moment, not of the call
  }
  EXPECT_EQ(target_.calls, 0);

  UserDefaultsService::setAutoLayoutEnabled(1);
  LayoutAllTarget::reset();
  drain();  // nothing installed: nothing to call
  EXPECT_EQ(target_.calls, 0);
}

TEST_F(UserDefaultsServiceTest, HideInMenuBarStoresTheValueAndPublishesWhetherItIsOne) {
  std::vector<bool> published;
  rx::DisposeBag bag;
  AppBridge::hideInMenuBarChanged().subscribe([&](bool hidden) { published.push_back(hidden); }).disposed(bag);

  UserDefaultsService::setHideInMenuBar(2);
  UserDefaultsService::setHideInMenuBar(1);
  UserDefaultsService::setHideInMenuBar(0);
  EXPECT_EQ(published, (std::vector<bool>{false, true, false}));

  UserDefaultsService::setHideInMenuBar(2);
  relaunch();
  EXPECT_EQ(UserDefaults::standard().integerForKey("hideInMenuBar"), 2);
}

}  // namespace
}  // namespace tilvane
