// The back-off timer's delays and jitter, and the retry handler's decisions, without a network.
#include "crashreporting/VizuzodKit/VZDBackoffTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/VizuzodKit/VZDNetworkRetryHandler.h"
#include "crashreporting/support/LibraryTest.h"
#include "crashreporting/support/VirtualScheduler.h"

namespace crashreporting::test {
namespace {

URLResponse reply(long status, HeaderFields fields = {}) { return {"https://127.0.0.1/e", status, std::move(fields)}; }

TEST(VZDBackoffTimerTest, JitterStaysWithinItsCoefficient) {
  VZDBackoffTimer timer(0.0);
  EXPECT_EQ(timer.jitterCoefficient(), 0.10000000149011612);
  timer.setUniformSource([] { return 0.0; });
  EXPECT_DOUBLE_EQ(timer.generateRandomJitter(), 1.0 - 0.10000000149011612);
  timer.setUniformSource([] { return std::nextafter(1.0, 0.0); });
  EXPECT_LT(timer.generateRandomJitter(), 1.0 + 0.10000000149011612);
  timer.setJitterCoefficient(1.5);  // not valid: the default is drawn with
  timer.setUniformSource([] { return 0.0; });
  EXPECT_DOUBLE_EQ(timer.generateRandomJitter(), 1.0 - 0.10000000149011612);
  EXPECT_TRUE(VZDBackoffTimer::jitterCoefficientIsValid(0.0));
  EXPECT_FALSE(VZDBackoffTimer::jitterCoefficientIsValid(1.0));
  EXPECT_FALSE(VZDBackoffTimer::jitterCoefficientIsValid(-0.1));

  VZDBackoffTimer unseeded(2.0);
  for (int i = 0; i < 1000; ++i) {
    const double factor = unseeded.generateRandomJitter();
    ASSERT_GE(factor, 0.9 - 1e-7);
    ASSERT_LT(factor, 1.1 + 1e-7);
  }
}

TEST(VZDBackoffTimerTest, TheFirstRetryValueIsTheBaseAndNoDelayOverflows) {
  VirtualScheduler clock;
  VZDBackoffTimer timer(30.0);
  timer.setScheduler(clock.scheduler());
  timer.setUniformSource([] { return 0.5; });
  int ran = 0;
  for (int i = 0; i < 6; ++i) timer.executeBlockAfterNextInterval([&] { ++ran; });
  EXPECT_EQ(timer.retryCount(), 6u);
  const auto delays = clock.delays();
  ASSERT_EQ(delays.size(), 6u);
  EXPECT_NEAR(delays[0], 30.0, 1e-6);
  EXPECT_NEAR(delays[1], 900.0, 1e-6);
  EXPECT_NEAR(delays[2], 27000.0, 1e-5);
  EXPECT_EQ(delays[3], VZDBackoffTimer::kMaximumDelay);  // 810000 s is more than a week
  EXPECT_EQ(delays[5], VZDBackoffTimer::kMaximumDelay);
  EXPECT_EQ(clock.advance(30.0), 1u);  // nothing runs before its time
  EXPECT_EQ(ran, 1);

  // Small, absurd and huge initial values: at least 2 s, at most a week, never an overflowing delay.
  for (const double initial : {0.0, -5.0, std::nan(""), 1e300, std::numeric_limits<double>::infinity()}) {
    VZDBackoffTimer odd(initial);
    odd.setUniformSource([] { return 0.5; });
    for (const std::uint64_t count : {0ull, 1ull, 11ull, 1000ull, ~0ull}) {
      const double delay = odd.computeDelayForInitialValue(initial, count);
      EXPECT_TRUE(std::isfinite(delay) && delay >= 1.8 && delay <= VZDBackoffTimer::kMaximumDelay)
          << initial << " " << count << " " << delay;
    }
  }
  VZDBackoffTimer zero(0.0);
  zero.setUniformSource([] { return 0.5; });
  EXPECT_NEAR(zero.computeDelayForInitialValue(0.0, 0), 2.0, 1e-9);  // count 0 counts as 1
}

class VZDNetworkRetryHandlerTest : public LibraryTest {
 protected:
  void SetUp() override {
    handler_.setScheduler(clock_.scheduler());
    handler_.setUniformSource([] { return 0.5; });
  }
  /// The handler's answer, once whatever it scheduled has run.
  std::pair<bool, std::optional<Error>> judge(const std::optional<URLResponse>& response, const std::string& identifier,
                                              std::uint64_t maxRetries = 10, std::optional<Error> error = {}) {
    std::optional<std::pair<bool, std::optional<Error>>> answer;
    handler_.handleCompletedRequest(URLRequest("https://127.0.0.1/e"), response, identifier, maxRetries, error,
                                    [&](bool retry, const std::optional<Error>& e) { answer.emplace(retry, e); });
    while (!answer && clock_.runNext()) {
    }
    EXPECT_TRUE(answer);
    return answer.value_or(std::make_pair(false, std::nullopt));
  }

  VirtualScheduler clock_;
  VZDNetworkRetryHandler handler_{std::nullopt};
};

TEST_F(VZDNetworkRetryHandlerTest, RetriesArePerIdentifierUpToTheLimit) {
  const auto success = judge(reply(200), "a");
  EXPECT_FALSE(success.first);
  EXPECT_FALSE(success.second);
  const auto refused = judge(reply(404), "a");
  EXPECT_FALSE(refused.first);
  EXPECT_EQ(refused.second->code, -5);
  EXPECT_TRUE(clock_.delays().empty());  // neither waits

  // A limit of 1 allows two retries; the third failure gives up with the reply's error.
  EXPECT_TRUE(judge(reply(500), "b", 1).first);
  EXPECT_TRUE(judge(reply(503, {{"Retry-After", "60"}}), "b", 1).first);
  const auto exhausted = judge(reply(500), "b", 1);
  EXPECT_FALSE(exhausted.first);
  EXPECT_EQ(exhausted.second->code, -1);
  EXPECT_EQ(clock_.delays(), (std::vector<double>{2.0, 4.0}));  // the first failure fixed the base
  EXPECT_EQ(handler_.timerForIdentifier("b", 9.0)->retryCount(), 2u);
  EXPECT_EQ(handler_.timerForIdentifier("b", 9.0)->initialValue(), 2.0);

  // A transport error that may be retried counts like a busy server; one that may not ends at once.
  EXPECT_TRUE(judge(std::nullopt, "c", 10, makeURLError(URLErrorTimedOut, "https://127.0.0.1/e", "")).first);
  EXPECT_FALSE(judge(std::nullopt, "c", 10, makeURLError(URLErrorUnsupportedURL, "https://127.0.0.1/e", "")).first);

  // No identifier, no timer.
  const auto anonymous = judge(reply(503), "");
  EXPECT_FALSE(anonymous.first);
  EXPECT_EQ(anonymous.second->code, -1);  // the reply's error comes first
  const Error noTimer = VZDNetworkRetryHandler::errorWithCode(-7, "", URLRequest("https://127.0.0.1/e"), std::nullopt);
  EXPECT_EQ(noTimer.domain, "ZIZNetworkError");
  EXPECT_EQ(noTimer.code, -7);
  EXPECT_EQ(noTimer.userInfo.at("VZDNetworkRetryHandlerIdentifier"), Value("(null)"));
  EXPECT_EQ(noTimer.userInfo.at(kURLErrorFailingURLStringKey), Value("https://127.0.0.1/e"));
  const Error limit = VZDNetworkRetryHandler::errorWithCode(-6, "d", URLRequest(), std::nullopt);
  EXPECT_EQ(limit.userInfo.at("VZDNetworkRetryHandlerIdentifier"), Value("d"));
  EXPECT_FALSE(limit.userInfo.count(kURLErrorFailingURLStringKey));
}

TEST_F(VZDNetworkRetryHandlerTest, ChallengesArePinnedUnlessDebugging) {
  const URLAuthenticationChallenge challenge{{"h", kURLAuthenticationMethodServerTrust, ServerTrust{"h"}}};
  const auto answer = [&](const VZDNetworkRetryHandler& handler) {
    std::optional<URLSessionAuthChallengeDisposition> disposition;
    const auto session = VRDURLSession::sessionWithConfiguration(VRDURLSessionConfiguration::defaultSessionConfiguration());
    handler.handleChallenge(challenge, *session, [&](auto d, auto) { disposition = d; });
    return disposition;
  };
  const VZDNetworkRetryHandler pinned;  // the compiled-in anchors
  ASSERT_TRUE(pinned.certPinner());
  EXPECT_EQ(answer(pinned), URLSessionAuthChallengeDisposition::useCredential);
  EXPECT_EQ(answer(handler_), URLSessionAuthChallengeDisposition::performDefaultHandling);  // no pinner
  Zizozu::sharedSDK().setDebug(true);
  EXPECT_EQ(answer(pinned), URLSessionAuthChallengeDisposition::performDefaultHandling);
}

// Replies come in on any thread and one handler serves every upload of a run: its map of back-off timers must
// stay whole when many uploads finish at once (the test a race detector reads for that map's lock).
TEST_F(VZDNetworkRetryHandlerTest, UploadsFinishingOnManyThreadsAtOnceEachKeepTheirOwnBackOff) {
  VZDNetworkRetryHandler handler(std::nullopt);
  std::mutex mutex;
  std::vector<std::pair<std::chrono::nanoseconds, std::function<void()>>> waiting;
  handler.setScheduler([&](std::chrono::nanoseconds delay, std::function<void()> block) {
    const std::lock_guard lock(mutex);
    waiting.emplace_back(delay, std::move(block));
  });
  handler.setUniformSource([] { return 0.5; });  // jitter 1.0

  constexpr int kThreads = 8;
  constexpr int kUploads = 150;
  const URLRequest request("https://events.example/spi/v2/events");
  const URLResponse busy{request.URL(), 503, {}};
  std::atomic<int> retries{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kUploads; ++i) {
        const std::string name = "upload-" + std::to_string(t) + "-" + std::to_string(i);
        handler.handleCompletedRequest(request, busy, name, std::nullopt, [&](bool retry, const std::optional<Error>&) {
          if (retry) ++retries;
        });
        // Another thread's reader of the same map at the same time.
        if (const auto timer = handler.timerForIdentifier(name, 2.0)) {
          EXPECT_GE(timer->retryCount(), 1u);
        }
      }
    });
  }
  go = true;
  for (auto& thread : threads) thread.join();

  ASSERT_EQ(waiting.size(), static_cast<std::size_t>(kThreads * kUploads));
  for (const auto& [delay, block] : waiting) {
    EXPECT_EQ(delay, std::chrono::seconds(2));  // the first retry of each: none was counted for another
    block();
  }
  EXPECT_EQ(retries.load(), kThreads * kUploads);
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kUploads; ++i) {
      const auto timer = handler.timerForIdentifier("upload-" + std::to_string(t) + "-" + std::to_string(i), 99);
      ASSERT_TRUE(timer);
      EXPECT_EQ(timer->retryCount(), 1u);
      EXPECT_EQ(timer->initialValue(), 2.0);  // made once, by its own first failure
    }
  }
}

}  // namespace
}  // namespace crashreporting::test
