#include "crashreporting/VizuzodKit/VZDRavumaAnalyticsBridge.h"

#include <gtest/gtest.h>

#include "crashreporting/VizuzodKit/VZDEvent.h"
#include "crashreporting/support/LibraryTest.h"

namespace crashreporting {
namespace {

/// Records what reaches the host framework.
struct RecordingHost : VZDHostAnalytics {
  struct Call {
    std::string origin, name;
    Dictionary parameters;
  };
  void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                  const Dictionary& parameters) override {
    calls.push_back({origin, name, parameters});
  }
  std::vector<Call> calls;
};

class VZDBridgeTest : public test::LibraryTest {
 protected:
  std::shared_ptr<RecordingHost> host_ = std::make_shared<RecordingHost>();
  VZDRavumaAnalyticsBridge bridge_{host_};
};

TEST_F(VZDBridgeTest, CleansCustomEventAndParameterNames) {
  bridge_.logEvent(VZDCustomEvent("first_open", Dictionary{{"a b-c", Value(1)}, {"value", Value(2)}}));
  bridge_.logEvent(VZDCustomEvent("9lives", std::nullopt));
  bridge_.logEvent(VZDCustomEvent("rvmhost_x", std::nullopt));
  bridge_.logEvent(VZDCustomEvent(std::string(50, 'n'), std::nullopt));
  bridge_.logEvent(VZDCustomEvent("", std::nullopt));
  bridge_.logEvent(*VZDLifecycleEvent::appLaunchedEvent());  // not forwarded
  ASSERT_EQ(host_->calls.size(), 5u);
  EXPECT_EQ(host_->calls[0].origin, "ziz");
  EXPECT_EQ(host_->calls[0].name, "zizozu_first_open");
  EXPECT_EQ(host_->calls[0].parameters, (Dictionary{{"a_b_c", Value(1)}, {"value", Value(2)}}));
  EXPECT_EQ(host_->calls[1].name, "zizozu_9lives");
  EXPECT_EQ(host_->calls[2].name, "zizozu_rvmhost_x");
  EXPECT_EQ(host_->calls[3].name, std::string(40, 'n'));
  EXPECT_EQ(host_->calls[4].name, "zizozu_unnamed_event");
  EXPECT_EQ(VZDRavumaAnalyticsBridge::sanitizeAttributeName("a  --b"), "a_b");
}

TEST_F(VZDBridgeTest, TranslatesPredefinedEvents) {
  bridge_.logEvent(*VZDPredefinedEvent::loginEventWithMethod("mail", false, Dictionary{{"c", Value("d")}}));
  bridge_.logEvent(*VZDPredefinedEvent::loginEventWithMethod("mail", true, std::nullopt));
  bridge_.logEvent(*VZDPredefinedEvent::purchaseEventWithPrice(1.99, "EUR", true, {}, {}, {}, Dictionary{{"value", Value(7)}}));
  bridge_.logEvent(*VZDPredefinedEvent::addToCartEventWithPrice(2.5, "EUR", {}, {}, {}, std::nullopt));
  bridge_.logEvent(*VZDPredefinedEvent::levelEndEventWithLevelName("one", Value(10), true, std::nullopt));
  ASSERT_EQ(host_->calls.size(), 6u);
  EXPECT_EQ(host_->calls[0].name, "failed_login");
  EXPECT_EQ(host_->calls[0].parameters, (Dictionary{{"c", Value("d")}}));
  EXPECT_EQ(host_->calls[1].name, "login");
  EXPECT_EQ(host_->calls[1].parameters, (Dictionary{{"method", Value("mail")}}));
  EXPECT_EQ(host_->calls[2].name, "ecommerce_purchase");
  EXPECT_EQ(host_->calls[2].parameters.at("value"), Value(1.99));  // the predefined value wins over the custom one
  EXPECT_EQ(host_->calls[2].parameters.at("currency"), Value("EUR"));
  EXPECT_FALSE(host_->calls[2].parameters.contains("success"));
  EXPECT_EQ(host_->calls[3].parameters.at("quantity"), Value(1));
  EXPECT_EQ(host_->calls[3].parameters.at("value"), Value(2.5));
  EXPECT_EQ(host_->calls[3].parameters.at("price"), Value(2.5));
  EXPECT_EQ(host_->calls[4].name, "level_end");
  EXPECT_EQ(host_->calls[5].name, "post_score");
  EXPECT_EQ(host_->calls[5].parameters, host_->calls[4].parameters);
  EXPECT_EQ(host_->calls[4].parameters.at("success"), Value(1));
}

TEST_F(VZDBridgeTest, IsInertWithoutAHostFramework) {
  const VZDRavumaAnalyticsBridge lookedUp;  // nothing registered
  lookedUp.logEvent(VZDCustomEvent("x", std::nullopt));
  VZDHostAnalytics::registerHost(host_);
  VZDRavumaAnalyticsBridge().logEvent(VZDCustomEvent("x", std::nullopt));
  EXPECT_EQ(host_->calls.size(), 1u);
}

}  // namespace
}  // namespace crashreporting
