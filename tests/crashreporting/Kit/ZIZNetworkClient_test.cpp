// The network client: the reply classification and its errors, content types, Retry-After and the back-off
// on a fake scheduler, the retry limit, and certificate pinning against the local HTTPS server.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "crashreporting/Kit/ZIZNetworkClient.h"
#include "crashreporting/Kit/ZIZNetworkOperation.h"
#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/Kit/ZIZURLBuilder.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/support/Awaiter.h"
#include "support/TestEnvironment.h"
#include "support/http/TestCertificateAuthority.h"
#include "support/http/TestHttpServer.h"
#include "support/http/TlsTestSuite.h"

namespace crashreporting::test {
namespace {

using tilvane::test::ScriptedReply;
using tilvane::test::TestCertificateAuthority;
using tilvane::test::TestHttpServer;
using Type = ZIZNetworkClientResponseType;

URLResponse reply(long status, HeaderFields fields = {}) { return {"http://127.0.0.1/", status, std::move(fields)}; }

TEST(ZIZNetworkResponseHandlerTest, StatusesFallIntoTheirClassesWithTheirErrors) {
  const std::map<long, Type> table = {
      {200, Type::success},     {201, Type::success},     {202, Type::success},    {204, Type::success},
      {304, Type::success},     {203, Type::failure},     {301, Type::failure},    {405, Type::failure},
      {600, Type::failure},     {400, Type::clientError}, {404, Type::clientError}, {431, Type::clientError},
      {408, Type::retry},       {500, Type::retry},       {503, Type::retry},      {599, Type::retry},
      {420, Type::rateLimited}, {429, Type::rateLimited}};
  for (const auto& [status, type] : table) EXPECT_EQ(ZIZNetworkResponseHandler::responseTypeForStatus(status), type) << status;

  const auto judge = [](const std::optional<URLResponse>& response) {
    std::pair<bool, std::optional<Error>> outcome;
    ZIZNetworkResponseHandler::handleCompletedResponse(response, URLRequest("http://127.0.0.1/"), std::nullopt,
                                                       [&](bool retry, const auto& error) { outcome = {retry, error}; });
    return outcome;
  };
  EXPECT_EQ(judge(reply(304)), std::make_pair(false, std::optional<Error>()));
  const auto nonAuthoritative = judge(reply(203, {{"X-Request-Id", "abc"}, {"Content-Type", "text/html"}}));
  ASSERT_TRUE(nonAuthoritative.second);
  EXPECT_FALSE(nonAuthoritative.first);
  EXPECT_EQ(nonAuthoritative.second->domain, "ZIZNetworkError");
  EXPECT_EQ(nonAuthoritative.second->code, -4);
  EXPECT_EQ(nonAuthoritative.second->userInfo,
            (Dictionary{{"type", Value(1)}, {"status_code", Value(203)}, {"request_id", Value("abc")},
                        {"content_type", Value("text/html")}}));
  const auto missing = judge(reply(404));
  EXPECT_EQ(missing.second->code, -5);
  EXPECT_EQ(missing.second->userInfo.at("request_id"), Value(""));  // absent header: empty string
  const auto limited = judge(reply(429));
  EXPECT_TRUE(limited.first);
  EXPECT_EQ(limited.second->code, -1);
  EXPECT_EQ(limited.second->userInfo.at("type"), Value(4));
  EXPECT_TRUE(judge(reply(408)).first);
  EXPECT_EQ(judge(std::nullopt).second->userInfo.at("status_code"), Value(0));  // no reply: class 1, status 0

  const auto transport = [](std::int64_t code) {
    bool retry = false;
    ZIZNetworkResponseHandler::handleCompletedResponse(std::nullopt, URLRequest("http://x/"),
                                                       makeURLError(code, "http://x/", ""),
                                                       [&](bool r, const auto&) { retry = r; });
    return retry;
  };
  EXPECT_TRUE(transport(URLErrorCancelled));
  EXPECT_TRUE(transport(URLErrorTimedOut));
  EXPECT_TRUE(transport(URLErrorCannotConnectToHost));
  EXPECT_FALSE(transport(URLErrorServerCertificateUntrusted));
  EXPECT_FALSE(transport(URLErrorDataLengthExceedsMaximum));
  EXPECT_FALSE(transport(URLErrorUnsupportedURL));
  EXPECT_FALSE(ZIZNetworkResponseHandler::retryableURLError(Error{"OtherDomain", -1001, {}, {}}));
}

TEST(ZIZNetworkResponseHandlerTest, ContentTypesMustSuitTheAcceptedTypeAndCharset) {
  URLRequest request("http://127.0.0.1/");
  const auto matches = [&](std::optional<std::string> contentType) {
    HeaderFields fields;
    if (contentType) fields.emplace_back("Content-Type", *contentType);
    return ZIZNetworkResponseHandler::contentTypeForResponse(reply(200, fields), request);
  };
  EXPECT_TRUE(matches(std::nullopt));  // no Accept: anything goes
  request.setValue("application/json", "Accept");
  request.setValue("utf-8", "Accept-Charset");
  EXPECT_TRUE(matches("Application/JSON"));
  EXPECT_TRUE(matches("application/json; charset=UTF-8"));
  EXPECT_FALSE(matches("application/json; charset=latin1"));
  EXPECT_FALSE(matches("text/html"));
  EXPECT_FALSE(matches(std::nullopt));
}

TEST(ZIZNetworkResponseHandlerTest, RetryAfterNeverOverflowsTheDelay) {
  const auto after = [](std::string value) {
    return ZIZNetworkResponseHandler::retryValueForResponse(reply(429, {{"Retry-After", std::move(value)}}));
  };
  EXPECT_EQ(ZIZNetworkResponseHandler::retryValueForResponse(reply(429)), 2.0);
  EXPECT_EQ(after("5"), 5.0);
  EXPECT_EQ(after("0"), 0.0);
  EXPECT_EQ(after("-3"), 2.0);
  EXPECT_EQ(after("soon"), 2.0);
  EXPECT_EQ(after("nan"), 2.0);
  EXPECT_EQ(after("inf"), kZIZMaxRetryDelay);
  EXPECT_EQ(after("1e400"), kZIZMaxRetryDelay);

  const auto client = ZIZNetworkClient::create();
  client->setUniformSource([] { return 0.999999; });
  for (const char* hostile : {"inf", "1e300", "99999999999"}) {
    for (std::uint64_t n : {0ull, 9ull, 1000ull}) {
      const double delay = client->computeDelayForResponse(reply(429, {{"Retry-After", hostile}}), n);
      EXPECT_TRUE(std::isfinite(delay) && delay <= kZIZMaxRetryDelay) << hostile << " " << n;
    }
  }
  // Jitter bounds are the single-precision 0.9 and 1.1.
  client->setUniformSource([] { return 0.0; });
  EXPECT_EQ(client->generateRandomJitter(), 0.8999999761581421);
  EXPECT_EQ(client->computeDelayForResponse(std::nullopt, 3), 8 * 0.8999999761581421);
}

TEST(ZIZURLBuilderTest, ValuesAreEscapedAndAMissingOneIsNotCounted) {
  ZIZURLBuilder builder = ZIZURLBuilder::URLWithBase("https://settings.example");
  builder.appendComponent("/apps/");
  builder.escapeAndAppendComponent("com.x y/é");
  builder.appendValue(std::nullopt, "skipped");
  builder.appendValue(Value("1.0 beta"), "build_version");
  builder.appendValue(Value(3), "source");
  EXPECT_EQ(builder.URLString(), "https://settings.example/apps/com.x%20y/%C3%A9?build_version=1.0%20beta&source=3");
  EXPECT_TRUE(builder.URL());
  EXPECT_FALSE(ZIZURLBuilder::URLWithBase("not a url").URL());
}

TEST(ZIZNetworkOperationTest, RequestsCarryTheCommonHeadersInOrder) {
  tilvane::test::ScopedEnv locale("LC_ALL", "de_CH.UTF-8");
  const ZIZNetworkOperation operation("key-1");
  const URLRequest request = operation.mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL("https://a.b/c");
  EXPECT_EQ(request.timeoutInterval(), 10.0);
  EXPECT_EQ(request.cachePolicy(), URLRequestCachePolicy::reloadIgnoringLocalCacheData);
  std::vector<std::string> names;
  for (const auto& [name, value] : request.allHTTPHeaderFields()) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"User-Agent", "Accept-Charset", "Accept-Language", "Content-Language",
                                             "X-Vuveradarad-Developer-Token", "X-Vuveradarad-API-Client-Id",
                                             "X-Vuveradarad-API-Client-Display-Version",
                                             "X-Vuveradarad-API-Client-Build-Version", "X-Vuveradarad-API-Key"}));
  EXPECT_EQ(request.valueForHTTPHeaderField("User-Agent"), "com.zizozu.sdk.mac/1.6.13 (63)");
  EXPECT_EQ(request.valueForHTTPHeaderField("Accept-Language"), "de_CH");
  EXPECT_EQ(request.valueForHTTPHeaderField("X-Vuveradarad-API-Key"), "key-1");
  EXPECT_EQ(request.valueForHTTPHeaderField("X-Vuveradarad-Developer-Token")->size(), 40u);
}

TEST(ZIZPinnedCertificatesTest, TheCompiledInAuthoritiesAreEightCertificates) {
  const auto& pinned = ZIZPinnedCertificates();
  ASSERT_EQ(pinned.size(), 8u);
  for (const Certificate& certificate : pinned) {
    EXPECT_TRUE(Certificate::fromDER(certificate.der()));
    EXPECT_EQ(Certificate::fromPEM(certificate.pem()), std::vector<Certificate>{certificate});
  }
  // An empty pinner cancels every challenge.
  const ZIZCertificatePinner empty({});
  URLSessionAuthChallengeDisposition disposition{};
  EXPECT_FALSE(empty.handleChallenge({{"h", kURLAuthenticationMethodServerTrust, ServerTrust{"h"}}},
                                     [&](auto d, auto) { disposition = d; }));
  EXPECT_EQ(disposition, URLSessionAuthChallengeDisposition::cancelAuthenticationChallenge);
}

struct Delays {
  std::mutex mutex;
  std::vector<double> seconds;
};

class ZIZNetworkClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.started()) << server_.error(); }
  void TearDown() override { ProcessShared::resetAll(); }

  /// A scheduler that records each delay and runs the retry at once.
  void useFakeScheduler(ZIZNetworkClient& client) {
    client.setScheduler([delays = delays_](std::chrono::nanoseconds delay, std::function<void()> block) {
      {
        const std::lock_guard lock(delays->mutex);
        delays->seconds.push_back(static_cast<double>(delay.count()) / 1e9);
      }
      block();
    });
  }
  std::vector<double> delays() {
    const std::lock_guard lock(delays_->mutex);
    return delays_->seconds;
  }
  std::optional<Error> fetch(ZIZNetworkClient& client, const std::string& url, std::uint64_t limit) {
    std::optional<Error> result;
    Awaiter done;
    client.startDataTaskWithRequest(URLRequest(url), limit, [&](auto, auto, std::optional<Error> error) {
      result = std::move(error);
      done.notify();
    });
    EXPECT_TRUE(done.waitFor(1));
    return result;
  }

  TestHttpServer server_;
  std::shared_ptr<Delays> delays_ = std::make_shared<Delays>();
};

TEST_F(ZIZNetworkClientTest, RateLimitedRepliesBackOffAsAPowerOfRetryAfterUntilTheLimit) {
  server_.setReply("/limited", {429, {{"Retry-After", "5"}}, ""});
  const auto client = ZIZNetworkClient::create();
  useFakeScheduler(*client);
  const auto error = fetch(*client, server_.url("/limited"), 3);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain, "ZIZNetworkError");
  EXPECT_EQ(error->code, -6);
  EXPECT_EQ(error->userInfo.at("retryLimit"), Value(3));
  EXPECT_EQ(error->userInfo.at(kURLErrorFailingURLStringKey), Value(server_.url("/limited")));
  EXPECT_EQ(server_.requestCount(), 4u);  // the first attempt and three retries
  const auto waited = delays();
  ASSERT_EQ(waited.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const double base = i < 2 ? 5.0 : 25.0;
    EXPECT_GE(waited[i], base * 0.8999999761581421) << i;
    EXPECT_LT(waited[i], base * 1.100000023841858) << i;
  }
}

TEST_F(ZIZNetworkClientTest, ServerErrorsBackOffFromTwoSecondsAndSuccessEndsTheRetries) {
  server_.setReply("/busy", ScriptedReply::withStatus(503));
  const auto client = ZIZNetworkClient::create();
  useFakeScheduler(*client);
  client->setUniformSource([] { return 0.5; });  // jitter 1.0 exactly
  EXPECT_EQ(fetch(*client, server_.url("/busy"), 4)->code, -6);
  EXPECT_EQ(delays(), (std::vector<double>{2, 2, 4, 8}));

  server_.queueReply("/flaky", ScriptedReply::withStatus(500));
  server_.setReply("/flaky", ScriptedReply::ok("{}"));
  EXPECT_FALSE(fetch(*client, server_.url("/flaky"), 4));

  server_.setReply("/gone", ScriptedReply::withStatus(404));
  EXPECT_EQ(fetch(*client, server_.url("/gone"), 4)->code, -5);
  EXPECT_EQ(delays().size(), 5u);  // one retry for the flaky reply, none for the client error
  EXPECT_EQ(fetch(*client, "http://127.0.0.1:9/closed", 0)->code, -6);  // a limit of 0: one attempt only

  client->invalidateAndCancel();
  EXPECT_EQ(fetch(*client, server_.url("/gone"), 4)->code, -3);  // no task once invalidated
}

class ZIZPinningTest : public tilvane::test::TlsTestSuite<ZIZNetworkClientTest> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(authority_->ok()) << authority_->error();
    ASSERT_TRUE(tls_.started()) << tls_.error();
    tls_.setReply("/secure", ScriptedReply::ok("{}"));
  }
  static std::vector<Certificate> anchorsOf(const TestCertificateAuthority& authority) {
    std::ifstream in(authority.caFile());
    return Certificate::fromPEM(std::string(std::istreambuf_iterator<char>(in), {}));
  }

};

TEST_F(ZIZPinningTest, OnlyThePinnedAuthorityIsTrustedExceptInDebugMode) {
  const auto pinned = ZIZNetworkClient::create(nullptr, anchorsOf(*authority_));
  EXPECT_FALSE(fetch(*pinned, tls_.url("/secure"), 2));
  EXPECT_EQ(tls_.requestCount(), 1u);

  const auto stranger = ZIZNetworkClient::create(nullptr, anchorsOf(*stranger_));
  useFakeScheduler(*stranger);
  const auto refused = fetch(*stranger, tls_.url("/secure"), 2);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->code, -6);  // each refusal is a cancelled challenge, retried to the limit
  EXPECT_EQ(delays().size(), 2u);
  EXPECT_EQ(tls_.requestCount(), 1u);  // no request got through

  // The compiled-in anchors do not know the test authority either.
  EXPECT_EQ(fetch(*ZIZNetworkClient::create(nullptr, ZIZPinnedCertificates()), tls_.url("/secure"), 0)->code, -6);

  // Debug mode asks for default handling: the system's store, which does not know the test authority and
  // whose refusal is not retried; the pinned anchors would have been trusted.
  Zizozu::sharedSDK().setDebug(true);
  const auto debugging = ZIZNetworkClient::create(nullptr, anchorsOf(*authority_));
  useFakeScheduler(*debugging);
  const auto untrusted = fetch(*debugging, tls_.url("/secure"), 2);
  ASSERT_TRUE(untrusted);
  EXPECT_EQ(untrusted->domain, kURLErrorDomain);
  EXPECT_EQ(untrusted->code, URLErrorServerCertificateUntrusted);
  EXPECT_EQ(delays().size(), 2u);
}

}  // namespace
}  // namespace crashreporting::test
