// The analytics ping against the local test server, on the virtual clock.
#include <gtest/gtest.h>

#include "AppManager/Logging/LogManager.h"
#include "Shell/AnalyticsManager.h"
#include "support/TestEnvironment.h"
#include "support/http/AwaitCompletions.h"
#include "support/http/TestHttpServer.h"

namespace tilvane::test {
namespace {

class AnalyticsTest : public WorldTest {
 protected:
  /// Targets of the requests the server has seen.
  std::vector<std::string> targets() const {
    std::vector<std::string> seen;
    for (const auto& request : server_.requests()) seen.push_back(request.method + " " + request.target);
    return seen;
  }

  TestHttpServer server_;
  AwaitCompletions inbox_{loop()};
  net::HttpClient client_{inbox_.executor()};
};

TEST_F(AnalyticsTest, PingsAfterTheLaunchAndEveryTwoHours) {
  AnalyticsManager& analytics = AnalyticsManager::shared();
  analytics.setup({&client_, server_.url("/"), "1.2.3"});
  analytics.schedule();
  EXPECT_FALSE(server_.waitForRequests(1, 0.2)) << "sent before the launch task returned";
  drain();
  ASSERT_TRUE(server_.waitForRequests(1));
  EXPECT_EQ(targets(), std::vector<std::string>{"GET /analytics.html?1.2.3"});

  advance(7199.0);
  EXPECT_FALSE(server_.waitForRequests(2, 0.2));
  advance(1.0);
  ASSERT_TRUE(server_.waitForRequests(2));
  advance(7200.0);
  ASSERT_TRUE(server_.waitForRequests(3));
  EXPECT_EQ(targets().back(), "GET /analytics.html?1.2.3");
}

TEST_F(AnalyticsTest, TheVersionIsEncodedOrMissingAndABadAddressSendsNothing) {
  AnalyticsManager& analytics = AnalyticsManager::shared();
  analytics.setup({&client_, server_.url(""), ""});  // a home without its "/"
  analytics.start();
  ASSERT_TRUE(server_.waitForRequests(1));  // a second ping replaces one still running
  analytics.setup({&client_, server_.url("/"), "2.0 beta#1"});
  analytics.start();
  ASSERT_TRUE(server_.waitForRequests(2));
  EXPECT_EQ(targets(), (std::vector<std::string>{"GET /analytics.html?no_version", "GET /analytics.html?2.0%20beta%231"}));

  LogManager::Capture log;
  analytics.setup({&client_, "javascript:alert(1)//", "1"});
  analytics.start();
  EXPECT_EQ(log.count("analytics ping not sent"), 1u);
  EXPECT_EQ(AnalyticsManager::pageURL("file:///tmp/", "1"), std::nullopt);
  EXPECT_EQ(AnalyticsManager::pageURL("https://tilvane.app", "1.2.3"), "https://tilvane.app/analytics.html?1.2.3");
  EXPECT_FALSE(server_.waitForRequests(3, 0.2));
}

}  // namespace
}  // namespace tilvane::test
