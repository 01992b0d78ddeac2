#include <gtest/gtest.h>

#include <optional>
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

TEST_F(UserDefaultsServiceTest, BooleanSettingsAreOffUntilStoredUnderTheirKeys) {
  EXPECT_FALSE(UserDefaultsService::gutterEnabled());
  EXPECT_FALSE(UserDefaultsService::showBuildInLayoutAction());
  UserDefaults::standard().setBool("gutterEnabled", true);
  UserDefaults::standard().setInteger("showBuildInLayoutAction", 1);
  EXPECT_TRUE(UserDefaultsService::gutterEnabled());
  EXPECT_TRUE(UserDefaultsService::showBuildInLayoutAction());
}

TEST_F(UserDefaultsServiceTest, AutoLayoutIsStoredAndOnlyOneLaysOutEverythingOnceAfterTheSetterReturns) {
  EXPECT_EQ(UserDefaultsService::autoLayoutEnabled(), 1);  // on when nothing is stored
  const std::pair<int, int> cases[] = {{0, 0}, {2, 0}, {1, 1}};  // value, layouts of everything
  for (const auto& [value, layouts] : cases) {
    target_.calls = 0;
    UserDefaultsService::setAutoLayoutEnabled(value);
    EXPECT_EQ(target_.calls, 0);  // not yet: it runs on the main queue
    loop().runUntilIdle();
    EXPECT_EQ(target_.calls, layouts) << value;
    relaunch();
    EXPECT_EQ(UserDefaultsService::autoLayoutEnabled(), value);  // synchronised, not just in memory
  }
}

TEST_F(UserDefaultsServiceTest, LayoutAllReachesOnlyATargetStillInstalledWhenItRuns) {
  UserDefaultsService::setAutoLayoutEnabled(1);
  {
    CountingLayoutTarget later;
    LayoutAllTarget::Scope laterScope(later);
    drain();
    EXPECT_EQ(later.calls, 1);  // the target of the moment, not of the call
  }
  UserDefaultsService::setAutoLayoutEnabled(1);
  LayoutAllTarget::reset();
  drain();  // nothing installed: nothing to call
  EXPECT_EQ(target_.calls, 0);
}

TEST_F(UserDefaultsServiceTest, HideInMenuBarStoresTheValueAndPublishesWhetherItIsOne) {
  std::vector<bool> published;
  rx::DisposeBag bag;
  AppBridge::hideInMenuBarChanged().subscribe([&](bool hidden) { published.push_back(hidden); }).disposed(bag);
  for (const int value : {2, 1, 0, 2}) UserDefaultsService::setHideInMenuBar(value);
  EXPECT_EQ(published, (std::vector<bool>{false, true, false, false}));
  relaunch();
  EXPECT_EQ(UserDefaults::standard().integerForKey("hideInMenuBar"), 2);
}

// Another instance flipped the switch since this one read the file: a flip flips what is stored now.
TEST_F(UserDefaultsServiceTest, TheSwitchFlipsWhatIsStoredNowAndAValueOfTheWrongTypeIsTheDefault) {
  const std::pair<std::optional<defaults::Value>, int> cases[] = {
      {std::nullopt, 0}, {defaults::Value(0), 1}, {defaults::Value(1), 0}, {defaults::Value("off"), 0}};
  for (const auto& [storedByOther, flipped] : cases) {
    // This instance's copy, from before the other's change: flipping it would give the opposite.
    UserDefaults::standard().setInteger("autoLayoutEnabled", flipped);
    UserDefaults other(UserDefaults::standard().filePath());
    if (storedByOther)
      other.setObject("autoLayoutEnabled", *storedByOther);
    else
      other.removeObjectForKey("autoLayoutEnabled");
    target_.calls = 0;
    EXPECT_TRUE(UserDefaultsService::toggleAutoLayoutEnabled());
    drain();
    EXPECT_EQ(UserDefaults(other.filePath()).objectForKey("autoLayoutEnabled"), defaults::Value(flipped));
    EXPECT_EQ(target_.calls, flipped);
  }
  // Getters read a value of another type as their default.
  UserDefaults::standard().setString("gutterEnabled", "yes");
  UserDefaults::standard().setString("hideInMenuBar", "1");
  EXPECT_FALSE(UserDefaultsService::gutterEnabled());
  EXPECT_EQ(UserDefaultsService::hideInMenuBar(), 0);
}

}  // namespace
}  // namespace tilvane
