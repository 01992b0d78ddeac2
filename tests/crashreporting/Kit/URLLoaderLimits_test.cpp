// What the library's connections allow a server: redirects that keep https and keep keys at their origin, an
// idle time-out that a slow but live reply outlasts, and a whole-resource limit.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "crashreporting/Kit/VRDURLSession.h"
#include "crashreporting/platform/URLConnection.h"
#include "crashreporting/support/Awaiter.h"
#include "support/TestEnvironment.h"
#include "support/http/TestCertificateAuthority.h"
#include "support/http/TestHttpServer.h"

namespace crashreporting::test {
namespace {

using tilvane::test::ScriptedReply;
using tilvane::test::TestHttpServer;
using Clock = std::chrono::steady_clock;

/// What one connection reported, in order.
class Collector : public URLConnectionDelegate {
 public:
  void connectionDidReceiveResponse(const URLResponse& response) override {
    const std::lock_guard lock(mutex_);
    status_ = response.statusCode.value_or(0);
    url_ = response.URL;
  }
  void connectionDidReceiveData(const Data& data) override {
    const std::lock_guard lock(mutex_);
    body_.append(data.begin(), data.end());
  }
  void connectionDidFailWithError(const Error& error) override {
    {
      const std::lock_guard lock(mutex_);
      error_ = error;
    }
    done.notify();
  }
  void connectionDidFinishLoading() override { done.notify(); }

  std::optional<Error> error() const {
    const std::lock_guard lock(mutex_);
    return error_;
  }
  long status() const {
    const std::lock_guard lock(mutex_);
    return status_;
  }
  std::string body() const {
    const std::lock_guard lock(mutex_);
    return body_;
  }
  std::string url() const {
    const std::lock_guard lock(mutex_);
    return url_;
  }
  Awaiter done;

 private:
  mutable std::mutex mutex_;
  long status_ = 0;
  std::string body_;
  std::string url_;
  std::optional<Error> error_;
};

/// A request as the crash kit sends one: a plain field, and a key and an identifier meant for its server only.
URLRequest keyedRequest(const std::string& url) {
  URLRequest request(url, 10);
  request.setHTTPMethod("POST");
  request.setHTTPBody({'r', 'e', 'p', 'o', 'r', 't'});
  request.setValue("Vuveradarad Mac SDK/3.8.6", "User-Agent");
  request.setValue("application/octet-stream", "Content-Type");
  request.setValue("6", "Content-Length");
  request.setValue("secret-key", "X-Vuveradarad-API-Key");
  request.setValue("install-7", "X-Vuveradarad-Installation-ID");
  return request;
}

class URLLoaderLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.started()) << server_.error();
    ASSERT_TRUE(other_.started()) << other_.error();
  }
  TestHttpServer server_;
  TestHttpServer other_;  // another origin: the same address, another port
  std::shared_ptr<Collector> collector_ = std::make_shared<Collector>();
  URLLoader loader_;
};

TEST_F(URLLoaderLimits, KeysAndIdentifiersGoOnlyToTheirOriginAcrossRedirects) {
  // Same origin first (a relative Location): everything goes along; then to another origin.
  server_.setReply("/start", {307, {{"Location", "/again"}}, ""});
  server_.setReply("/again", {307, {{"Location", other_.url("/landing")}}, ""});
  other_.setReply("/landing", ScriptedReply::ok("landed"));
  loader_.start(keyedRequest(server_.url("/start")), std::nullopt, collector_, 30);
  ASSERT_TRUE(collector_->done.waitFor(1));
  ASSERT_FALSE(collector_->error()) << collector_->error()->description();
  EXPECT_EQ(collector_->status(), 200);
  EXPECT_EQ(collector_->body(), "landed");
  EXPECT_EQ(collector_->url(), other_.url("/landing"));

  ASSERT_EQ(server_.requestCount(), 2u);
  const auto again = server_.requests()[1];
  EXPECT_EQ(again.path, "/again");
  EXPECT_EQ(again.header("X-Vuveradarad-API-Key"), "secret-key");
  EXPECT_EQ(again.header("X-Vuveradarad-Installation-ID"), "install-7");
  ASSERT_EQ(other_.requestCount(), 1u);
  const auto landed = other_.requests()[0];
  EXPECT_EQ(landed.method, "POST");  // 307 keeps the method and the body
  EXPECT_EQ(landed.body, "report");
  EXPECT_EQ(landed.header("User-Agent"), "Vuveradarad Mac SDK/3.8.6");
  EXPECT_EQ(landed.header("Content-Type"), "application/octet-stream");
  EXPECT_EQ(landed.header("X-Vuveradarad-API-Key"), std::nullopt);
  EXPECT_EQ(landed.header("X-Vuveradarad-Installation-ID"), std::nullopt);
}

TEST_F(URLLoaderLimits, ASeeOtherBecomesAGetAndEndlessRedirectsStop) {
  server_.setReply("/form", {303, {{"Location", "/result"}}, ""});
  server_.setReply("/result", ScriptedReply::ok("done"));
  loader_.start(keyedRequest(server_.url("/form")), std::nullopt, collector_, 30);
  ASSERT_TRUE(collector_->done.waitFor(1));
  ASSERT_EQ(server_.requestCount(), 2u);
  EXPECT_EQ(server_.requests()[1].method, "GET");
  EXPECT_EQ(server_.requests()[1].body, "");
  EXPECT_EQ(server_.requests()[1].header("Content-Type"), std::nullopt);
  EXPECT_EQ(server_.requests()[1].header("X-Vuveradarad-API-Key"), "secret-key");  // the same origin

  server_.setReply("/loop", {302, {{"Location", "/loop"}}, ""});
  const auto looping = std::make_shared<Collector>();
  loader_.start(URLRequest(server_.url("/loop"), 10), std::nullopt, looping, 30);
  ASSERT_TRUE(looping->done.waitFor(1));
  ASSERT_TRUE(looping->error());
  EXPECT_EQ(looping->error()->code, URLErrorHTTPTooManyRedirects);
  EXPECT_EQ(server_.requestCount(), 2u + 1u + URLLoader::kMaxRedirects);
}

TEST_F(URLLoaderLimits, ARedirectFromHttpsToHttpIsRefused) {
  tilvane::test::TestCertificateAuthority authority;
  ASSERT_TRUE(authority.ok()) << authority.error();
  TestHttpServer secure(authority.certificateFile(), authority.keyFile());
  ASSERT_TRUE(secure.started()) << secure.error();
  secure.setReply("/upload", {302, {{"Location", other_.url("/plain")}}, ""});
  other_.setReply("/plain", ScriptedReply::ok("in the clear"));
  loader_.start(keyedRequest(secure.url("/upload")), tilvane::test::readFile(authority.caFile()), collector_, 30);
  ASSERT_TRUE(collector_->done.waitFor(1));
  ASSERT_TRUE(collector_->error());
  EXPECT_EQ(collector_->error()->code, URLErrorAppTransportSecurityRequiresSecureConnection);
  EXPECT_EQ(secure.requestCount(), 1u);
  EXPECT_EQ(other_.requestCount(), 0u);
}

// Real seconds, kept short: curl's clock bounds a real server. The figures go to the test's XML record.
TEST_F(URLLoaderLimits, TheRequestTimeOutIsAnIdleOneAndTheResourceLimitBoundsTheWhole) {
  // Alive but slow: 40 bytes, one every 0.1 s, so about 4 s in all, past the request's 2 s. The idle time is
  // twenty of the server's steps: a busy machine may hold the server's thread back for a few.
  server_.setReply("/slow", ScriptedReply::trickled(std::string(40, 'x'), 0.1));
  const auto slow = std::make_shared<Collector>();
  loader_.start(URLRequest(server_.url("/slow"), 2), std::nullopt, slow, 60);
  ASSERT_TRUE(slow->done.waitFor(1));
  ASSERT_FALSE(slow->error()) << slow->error()->description();
  EXPECT_EQ(slow->body(), std::string(40, 'x'));

  // Silent: the reply would come after 30 s; the idle time-out of 1 s ends it.
  ScriptedReply late = ScriptedReply::ok("late");
  late.delay = 30;
  server_.setReply("/silent", late);
  const auto silent = std::make_shared<Collector>();
  const auto started = Clock::now();
  loader_.start(URLRequest(server_.url("/silent"), 1), std::nullopt, silent, 60);
  ASSERT_TRUE(silent->done.waitFor(1));
  const double took = std::chrono::duration<double>(Clock::now() - started).count();
  RecordProperty("silent_server_failed_after_ms", static_cast<int>(took * 1000));
  ASSERT_TRUE(silent->error());
  EXPECT_EQ(silent->error()->code, URLErrorTimedOut);
  EXPECT_GE(took, 0.9);
  EXPECT_LT(took, 15.0);  // far below the 30 s wait and the 60 s limit, even on a busy machine

  // Alive but slower than the whole-resource limit allows.
  const auto bounded = std::make_shared<Collector>();
  loader_.start(URLRequest(server_.url("/slow"), 5), std::nullopt, bounded, 1);
  ASSERT_TRUE(bounded->done.waitFor(1));
  ASSERT_TRUE(bounded->error());
  EXPECT_EQ(bounded->error()->code, URLErrorTimedOut);
}

TEST_F(URLLoaderLimits, ASessionTaskTakesItsWholeLimitFromTheConfiguration) {
  server_.setReply("/slow", ScriptedReply::trickled(std::string(25, 'x'), 0.1));  // about 2.5 s, never idle 2 s
  for (const double resource : {60.0, 1.0}) {
    VRDURLSessionConfiguration configuration;
    configuration.timeoutIntervalForResource = resource;
    const auto session = VRDURLSession::sessionWithConfiguration(configuration);
    Awaiter done;
    std::optional<Error> error;
    session->dataTaskWithRequest(URLRequest(server_.url("/slow"), 2),
                                 [&](std::optional<Data>, std::optional<URLResponse>, std::optional<Error> e) {
                                   error = std::move(e);
                                   done.notify();
                                 })
        ->resume();
    ASSERT_TRUE(done.waitFor(1));
    EXPECT_EQ(error.has_value(), resource < 2) << resource;
  }
}

}  // namespace
}  // namespace crashreporting::test
