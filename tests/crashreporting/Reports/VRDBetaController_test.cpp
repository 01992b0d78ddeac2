// The beta-build check against the local HTTP server: no token, no check; the request and its fields; the
// update kept; suspension on the virtual clock; replies that give no update; a failed check blocks later ones.
#include <gtest/gtest.h>

#include "crashreporting/Kit/ZIZSettingsOnboardingManager.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDBetaController.h"
#include "crashreporting/platform/NotificationCenter.h"
#include "crashreporting/support/Awaiter.h"
#include "crashreporting/support/LibraryTest.h"
#include "support/http/TestHttpServer.h"

namespace crashreporting::test {
namespace {

using tilvane::test::ScriptedReply;
using tilvane::test::TestHttpServer;

constexpr const char* kCheck = "/spi/v2/platforms/mac/apps/com.example.beta/beta_update_check";

class BetaCheck : public LibraryTest, public VRDBetaControllerDelegate {
 protected:
  BetaCheck() {
    MainBundle::set(BundleInfo{{{"CFBundleIdentifier", Value("com.example.beta")},
                                {"CFBundleVersion", Value("7")},
                                {"CFBundleShortVersionString", Value("1.2 b")},
                                {"VuveradaradSignedForDistribution", Value(true)}},
                               {}});
  }
  void SetUp() override { ASSERT_TRUE(server_.started()) << server_.error(); }

  VRDSettings settingsForBetaController(VRDBetaController&) override { return VRDSettings(); }
  std::optional<std::string> APIKeyForBetaController(VRDBetaController&) override { return "k"; }

  std::shared_ptr<VRDBetaController> makeController(VRDBetaController::TokenSource tokens) {
    auto controller = VRDBetaController::create(*this, std::move(tokens));
    controller->setScheduler([this](std::chrono::nanoseconds delay, std::function<void()> fire) {
      const std::lock_guard lock(mutex_);
      timers_.emplace_back(static_cast<double>(delay.count()) / 1e9, std::move(fire));
    });
    return controller;
  }
  /// The check's threads go on a moment after what a test waits for; the process-wide state is reset only once
  /// none of them holds the controller, so that its last holder is the test.
  static void waitUntilTheChecksLetGo(const std::shared_ptr<VRDBetaController>& controller) {
    EXPECT_TRUE(eventually([&] { return controller.use_count() == 1; })) << controller.use_count() << " holders";
  }
  static void settingsArrived() { NotificationCenter::defaultCenter().postNotificationName(ZIZSettingsAvailableNotification); }
  std::size_t timers() {
    const std::lock_guard lock(mutex_);
    return timers_.size();
  }

  TestHttpServer server_;
  tilvane::test::ScopedEnv endpoint_{"VuveradaradBetaEndpoint", server_.url("")};
  std::mutex mutex_;
  std::vector<std::pair<double, std::function<void()>>> timers_;
};

TEST_F(BetaCheck, WithoutATokenOrADistributionBuildNothingIsChecked) {
  EXPECT_TRUE(VRDBetaController::isBetaSupported());
  const auto production = makeController(VRDBetaController::defaultTokenSource);
  EXPECT_FALSE(production->start());
  settingsArrived();

  // The token is asked for again while there is none.
  int asked = 0;
  const auto later = makeController([&]() -> std::optional<std::string> {
    return ++asked < 2 ? std::nullopt : std::optional<std::string>("t");
  });
  EXPECT_FALSE(later->start());
  EXPECT_TRUE(later->start());
  EXPECT_EQ(later->betaToken(), "t");
  EXPECT_EQ(asked, 2);

  MainBundle::set(BundleInfo{{{"CFBundleIdentifier", Value("com.example.beta")}}, {}});
  EXPECT_FALSE(VRDBetaController::isBetaSupported());  // installation source 1
  settingsArrived();
  EXPECT_FALSE(eventually([&] { return server_.requestCount() > 0; }, 0.3));
}

TEST_F(BetaCheck, TheCheckKeepsTheUpdateAndSuspendsFurtherChecks) {
  server_.setReply(kCheck, ScriptedReply::ok(R"({"url":"http://x/y","version_string":"2"})"));
  const auto controller = makeController([] { return std::optional<std::string>("tok"); });
  ASSERT_TRUE(controller->start());
  settingsArrived();
  ASSERT_TRUE(eventually([&] { return controller->activeUpdate().has_value(); }));
  EXPECT_EQ(controller->activeUpdate()->url(), "http://x/y");
  EXPECT_EQ(controller->activeUpdate()->version(), "2");

  ASSERT_EQ(server_.requestCount(), 1u);
  const auto request = server_.requests()[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.path, kCheck);
  const std::string instance = Zizozu::sharedSDK().instanceIdentifier().value_or("");
  EXPECT_FALSE(instance.empty());
  EXPECT_EQ(request.query, "build_version=7&display_version=1.2%20b&instance=" + instance + "&source=3");
  ASSERT_GE(request.headers.size(), 11u);
  EXPECT_EQ(request.headers.back(), (std::pair<std::string, std::string>{"X-Vuveradarad-Beta-Token", "tok"}));
  EXPECT_EQ(request.headers[request.headers.size() - 2].first, "X-Vuveradarad-API-Key");
  EXPECT_EQ(request.header("User-Agent"), "Vuveradarad Mac SDK/3.8.6");

  // Suspended for the suspension's 3600 s: a second notification starts nothing.
  ASSERT_TRUE(controller->checksSuspended());
  settingsArrived();
  EXPECT_FALSE(eventually([&] { return server_.requestCount() > 1; }, 0.3));
  ASSERT_EQ(timers(), 1u);
  EXPECT_EQ(timers_[0].first, 3600.0);
  timers_[0].second();  // the virtual clock reaches the end of the suspension
  EXPECT_FALSE(controller->checksSuspended());
  settingsArrived();
  ASSERT_TRUE(server_.waitForRequests(2));
  ASSERT_TRUE(eventually([&] { return timers() == 2; }));
  EXPECT_EQ(server_.requestCount(), 2u);
  waitUntilTheChecksLetGo(controller);
}

TEST_F(BetaCheck, RepliesWithoutAUsableURLGiveNoUpdateButAFailedCheckBlocksLaterOnes) {
  Zizozu::sharedSDK().setDebug(true);
  server_.queueReply(kCheck, ScriptedReply::ok(R"({"version_string":"2"})"));
  const auto controller = makeController([] { return std::optional<std::string>("tok"); });
  ASSERT_TRUE(controller->start());
  settingsArrived();
  // The request itself succeeded, so checks are suspended all the same.
  ASSERT_TRUE(eventually([&] { return log_.count("[Vuveradarad:Beta] Beta update url is invalid") == 1; }));
  EXPECT_TRUE(eventually([&] { return controller->checksSuspended(); }));
  EXPECT_FALSE(controller->activeUpdate());

  std::optional<Error> error;
  const auto parse = [&](std::string text) {
    error.reset();
    return VRDBetaController::updateWithData(Data(text.begin(), text.end()), error);
  };
  EXPECT_FALSE(parse(R"({"url":"not a url"})"));
  EXPECT_EQ(error->code, URLErrorCannotParseResponse);
  EXPECT_EQ(error->domain, kURLErrorDomain);
  EXPECT_FALSE(parse(R"(["http://x/y"])"));
  EXPECT_FALSE(parse("{"));
  EXPECT_NE(error->domain, kURLErrorDomain);
  EXPECT_TRUE(parse(R"({"url":"https://x/y?z=1"})"));

  // An empty body is a failed check: it stays "under way", so no later check runs in this process.
  server_.queueReply(kCheck, ScriptedReply::ok(""));
  controller->allowChecks();
  settingsArrived();
  ASSERT_TRUE(server_.waitForRequests(2));
  ASSERT_TRUE(eventually([&] { return log_.count("[Vuveradarad:Beta] Failed to load update '(null)'") == 1; }));
  EXPECT_TRUE(controller->retrying());
  settingsArrived();
  EXPECT_FALSE(eventually([&] { return server_.requestCount() > 2; }, 0.3));
  waitUntilTheChecksLetGo(controller);
}

TEST(BetaUpdateTest, PromptTextsFallBackToTheirDefaults) {
  MainBundle::set(BundleInfo{{{"CFBundleName", Value("Host")}}, {}});
  const auto update = VRDBetaUpdate::initWithDictionary(Value(Dictionary{{"url", Value("http://x")}}));
  ASSERT_TRUE(update);
  EXPECT_FALSE(update->version());
  EXPECT_EQ(update->promptTitle(), "New Build Available");
  EXPECT_EQ(update->promptMessage(), "A new version of Host is available for testing.");
  EXPECT_EQ(update->cancelLabel(), "Cancel");
  EXPECT_EQ(update->installLabel(), "Install");
  MainBundle::clear();
}

}  // namespace
}  // namespace crashreporting::test
