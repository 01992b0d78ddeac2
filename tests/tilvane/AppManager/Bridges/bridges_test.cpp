#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"

namespace tilvane {
namespace {

// Each bus is one subject for everyone: what one side publishes, the other side hears.
TEST(Bridges, EachSubjectIsOneInstanceAndCarriesItsElement) {
  EXPECT_EQ(&AppBridge::quit(), &AppBridge::quit());
  std::optional<AppRule> saved;
  bool absentLayout = false;
  rx::DisposeBag bag;
  RuleLayoutBridge::ruleSaved().subscribe([&](const AppRule& r) { saved = r; }).disposed(bag);
  CustomLayoutBridge::layoutChanged().subscribe([&](const CustomLayoutModelPtr& l) { absentLayout = !l; }).disposed(bag);
  RuleLayoutBridge::ruleSaved().onNext({{"Terminal", "org.example.Terminal", "/icons/term.png"}, nullptr});
  CustomLayoutBridge::layoutChanged().onNext(nullptr);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->app.bundleID, "org.example.Terminal");
  EXPECT_TRUE(absentLayout);
}

}  // namespace
}  // namespace tilvane
