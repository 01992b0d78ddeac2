#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"

namespace tilvane {
namespace {

TEST(Bridges, LateSubscriberMissesEarlierEventsAndEveryoneHasRunWhenPublishReturns) {
  AppBridge::openPreferences().onNext(3);  // nobody listens yet: lost
  std::vector<int> first, second;
  rx::DisposeBag bag;
  AppBridge::openPreferences().subscribe([&](int pane) { first.push_back(pane); }).disposed(bag);
  AppBridge::openPreferences().subscribe([&](int pane) { second.push_back(pane); }).disposed(bag);
  AppBridge::openPreferences().onNext(-1);
  EXPECT_EQ(first, std::vector<int>{-1});
  EXPECT_EQ(second, std::vector<int>{-1});
}

TEST(Bridges, DisposedSubscriberIsNotCalled) {
  int calls = 0;
  {
    rx::DisposeBag bag;
    AppBridge::quit().subscribe([&](rx::Unit) { ++calls; }).disposed(bag);
    AppBridge::quit().onNext();
  }
  AppBridge::quit().onNext();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(AppBridge::quit().observerCount(), 0u);
}

TEST(Bridges, EachSubjectIsOneInstanceAndCarriesItsElement) {
  EXPECT_EQ(&AppBridge::quit(), &AppBridge::quit());
  EXPECT_NE(static_cast<void*>(&AppBridge::quit()), static_cast<void*>(&AppBridge::openAdvanced()));

  std::optional<AppRule> saved;
  bool absentLayout = false;
  rx::DisposeBag bag;
  RuleLayoutBridge::ruleSaved().subscribe([&](const AppRule& r) { saved = r; }).disposed(bag);
  CustomLayoutBridge::layoutChanged().subscribe([&](const CustomLayoutModelPtr& l) { absentLayout = !l; }).disposed(bag);
  RuleLayoutBridge::ruleSaved().onNext({{"Terminal", "org.example.Terminal", "/icons/term.png"}, nullptr});
  CustomLayoutBridge::layoutChanged().onNext(nullptr);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->app.bundleID, "org.example.Terminal");
  EXPECT_EQ(saved->rule, nullptr);
  EXPECT_TRUE(absentLayout);
}

TEST(Bridges, CheckForUpdatesHasNoSubscriberAndPublishingIsHarmless) {
  EXPECT_EQ(AppBridge::checkForUpdates().observerCount(), 0u);
  AppBridge::checkForUpdates().onNext();
}

}  // namespace
}  // namespace tilvane
