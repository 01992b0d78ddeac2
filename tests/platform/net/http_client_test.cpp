// The HTTP client against the local test server (127.0.0.1 only): replies, errors, caps, time-outs, TLS
// verification, cancelling, and completions that run on the main loop.
#include <gtest/gtest.h>

#include <sys/syscall.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/HttpClient.h"
#include "platform/net/WebURL.h"
#include "support/TestEnvironment.h"
#include "support/http/AwaitCompletions.h"
#include "support/http/TestCertificateAuthority.h"
#include "support/http/TestHttpServer.h"
#include "support/http/TlsTestSuite.h"

namespace tilvane::test {
namespace {

using net::HttpErrorCode;
using net::HttpRequest;
using net::HttpResponse;

class HttpClientTest : public WorldTest {
 protected:
  /// Sends `request` and runs the loop until its completion ran there.
  HttpResponse exchange(HttpRequest request) { return exchange(std::move(request), client_); }
  HttpResponse exchange(HttpRequest request, net::HttpClient& client) {
    std::optional<HttpResponse> response;
    client.send(std::move(request), [&](HttpResponse reply) {
      EXPECT_TRUE(loop().isMainThread());
      response = std::move(reply);
    });
    EXPECT_TRUE(inbox_.runUntil([&] { return response.has_value(); }));
    return response.value_or(HttpResponse{});
  }
  HttpResponse get(const std::string& url, double timeout = 10, std::size_t cap = 1024 * 1024) {
    HttpRequest request;
    request.url = url;
    request.timeout = timeout;
    request.maxBodyBytes = cap;
    return exchange(std::move(request));
  }

  TestHttpServer server_;
  AwaitCompletions inbox_{loop()};
  net::HttpClient client_{inbox_.executor()};
};

TEST_F(HttpClientTest, GetDeliversStatusFieldsAndBodyOnTheMainLoop) {
  ASSERT_TRUE(server_.started()) << server_.error();
  server_.setReply("/feed", {200, {{"Content-Type", "application/json"}, {"X-Note", "  spaced  "}}, "{\"a\":1}"});
  server_.setReply("/gone", ScriptedReply::withStatus(304));

  const HttpResponse ok = get(server_.url("/feed?123.5"));
  EXPECT_TRUE(ok.succeeded()) << ok.errorText();
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body, "{\"a\":1}");
  EXPECT_EQ(ok.header("content-type"), "application/json");
  EXPECT_EQ(ok.header("X-NOTE"), "spaced");
  EXPECT_FALSE(ok.header("X-Absent"));

  // A status other than 200 is a reply, not an error; so is a path the server does not know.
  EXPECT_EQ(get(server_.url("/gone")).status, 304);
  const HttpResponse missing = get(server_.url("/nothing"));
  EXPECT_TRUE(missing.succeeded());
  EXPECT_EQ(missing.status, 404);

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].path, "/feed");
  EXPECT_EQ(requests[0].query, "123.5");
  EXPECT_EQ(client_.pendingCount(), 0u);
}

// The threads of this process, by id.
std::set<std::string> threadIds() {
  std::set<std::string> ids;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ids.insert(entry.path().filename());
  return ids;
}

// The thread's blocked-signal mask, as /proc shows it.
unsigned long long blockedSignals(const std::string& thread) {
  std::ifstream status("/proc/self/task/" + thread + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigBlk:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  return ~0ULL;
}

TEST_F(HttpClientTest, TheWorkerBlocksSignalsButTheRealTimeOnesThatStopAThreadForACrashRecord) {
  const std::set<std::string> before = threadIds();
  EXPECT_FALSE(get("http://127.0.0.1:1/", 5).succeeded()) << "nothing listens on port 1";
  std::set<std::string> started;
  for (const std::string& id : threadIds())
    if (!before.count(id)) started.insert(id);
  ASSERT_FALSE(started.empty()) << "the client's worker thread";

  unsigned long long realTime = 0;
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) realTime |= 1ULL << (signal - 1);
  for (const std::string& id : started) {
    const unsigned long long blocked = blockedSignals(id);
    EXPECT_EQ(blocked & realTime, 0u) << "thread " << id;
    EXPECT_NE(blocked & (1ULL << (SIGPIPE - 1)), 0u) << "thread " << id;
    EXPECT_NE(blocked & (1ULL << (SIGTERM - 1)), 0u) << "thread " << id;
  }
}

// The threads of this process called `name`.
std::vector<std::string> threadsNamed(const std::string& name) {
  std::vector<std::string> found;
  for (const std::string& id : threadIds()) {
    std::string comm;
    std::getline(std::ifstream("/proc/self/task/" + id + "/comm"), comm);
    if (comm == name) found.push_back(id);
  }
  return found;
}

// Whether the thread sleeps in poll without a time limit (/proc's view of its system call: the number, then the
// arguments; poll's third is the time-out in milliseconds, ppoll's a pointer to one).
bool pollsWithoutTimeLimit(const std::string& thread) {
  std::ifstream file("/proc/self/task/" + thread + "/syscall");
  std::string number, fds, count, timeout;
  file >> number >> fds >> count >> timeout;
  return (number == std::to_string(SYS_poll) && (timeout == "0xffffffff" || timeout == "0xffffffffffffffff")) ||
         (number == std::to_string(SYS_ppoll) && timeout == "0x0");
}

// The processes this one started and has not reaped.
std::set<std::string> children() {
  std::set<std::string> pids;
  for (const std::string& id : threadIds()) {
    std::ifstream file("/proc/self/task/" + id + "/children");
    for (std::string pid; file >> pid;) pids.insert(pid);
  }
  return pids;
}

// Waits (for a state, up to 10 s) until `done` holds.
bool eventually(const std::function<bool()>& done) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::yield();
  }
  return true;
}

bool mapped(const std::string& library) {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);)
    if (line.find(library) != std::string::npos) return true;
  return false;
}

TEST_F(HttpClientTest, TheNetworkProcessRunsWhileThereIsWorkAndTheIdleWorkerSleepsWithoutATimer) {
  std::mutex mutex;
  std::vector<std::string> endings;
  net::HttpClient client(inbox_.executor(), {.linger = 0.05, .ended = [&](const std::string& how) {
                                               const std::lock_guard lock(mutex);
                                               endings.push_back(how);
                                             }});
  EXPECT_TRUE(threadsNamed("http-worker").empty()) << "no worker before a request";
  EXPECT_TRUE(children().empty());
  server_.setReply("/a", ScriptedReply::withStatus(200, "a"));
  EXPECT_EQ(exchange({.url = server_.url("/a")}, client).body, "a");
  const auto workers = threadsNamed("http-worker");
  ASSERT_EQ(workers.size(), 1u);
  // Once the linger is over, neither a process nor a timer is left: an idle worker that polled on a tick would
  // wake every tick all day.
  EXPECT_TRUE(eventually([&] { return children().empty(); })) << "the network process outlived its linger";
  EXPECT_TRUE(eventually([&] { return pollsWithoutTimeLimit(workers.front()); })) << "the idle worker has a timer";
  // Woken by the next request, which starts the process again, and asleep again after it.
  server_.setReply("/b", ScriptedReply::withStatus(200, "b"));
  EXPECT_EQ(exchange({.url = server_.url("/b")}, client).body, "b");
  EXPECT_EQ(threadsNamed("http-worker"), workers);
  EXPECT_TRUE(eventually([&] { return children().empty(); }));
  // The exchanges ran elsewhere: curl was never loaded here.
  EXPECT_FALSE(mapped("libcurl"));
  // Each process ended cleanly when told to (in a sanitizer build: without a leak or other report).
  const std::lock_guard lock(mutex);
  EXPECT_EQ(endings, (std::vector<std::string>{"exited with 0", "exited with 0"}));
}

TEST_F(HttpClientTest, ANetworkProcessThatDiesFailsItsRequestsAndTheNextRequestStartsAnother) {
  server_.setReply("/endless", ScriptedReply::neverEnding());
  server_.setReply("/fast", ScriptedReply::ok("fast"));
  std::optional<HttpResponse> lost;
  client_.send({.url = server_.url("/endless")}, [&](HttpResponse reply) { lost = std::move(reply); });
  ASSERT_TRUE(server_.waitForRequests(1));
  const std::set<std::string> running = children();
  ASSERT_EQ(running.size(), 1u);
  ASSERT_EQ(kill(std::stoi(*running.begin()), SIGKILL), 0);
  ASSERT_TRUE(inbox_.runUntil([&] { return lost.has_value(); }));
  ASSERT_TRUE(lost->error);
  EXPECT_EQ(lost->error->code, HttpErrorCode::transport);
  EXPECT_NE(lost->error->message.find("killed by signal 9"), std::string::npos) << lost->errorText();

  EXPECT_EQ(get(server_.url("/fast")).body, "fast");
  EXPECT_EQ(client_.pendingCount(), 0u);
}

// The worker starts processes with the environment the client was made with: another thread changing the
// environment meanwhile (as a test's teardown does) must not race with the start (ThreadSanitizer's tree sees it).
TEST_F(HttpClientTest, ProcessesStartWithTheClientsEnvironmentWhileAnotherThreadChangesItsOwn) {
  server_.setReply("/a", ScriptedReply::ok("a"));
  net::HttpClient client(inbox_.executor(), {.linger = 0});
  std::atomic<bool> done{false};
  std::thread changer([&] {
    for (int i = 0; !done; ++i) setenv("TILVANE_TEST_CHURN", std::to_string(i).c_str(), 1);
    unsetenv("TILVANE_TEST_CHURN");
  });
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(exchange({.url = server_.url("/a")}, client).body, "a");
    ASSERT_TRUE(eventually([&] { return children().empty(); }));  // the next request starts a new process
  }
  done = true;
  changer.join();
}

TEST_F(HttpClientTest, ANetworkProcessThatCannotBeStartedFailsEachRequestSayingWhy) {
  const ScopedTempDir temp;
  const std::string missing = (temp.path() / "tilvane-net").string();
  net::HttpClient client(inbox_.executor(), {.program = missing});
  for (int i = 0; i < 2; ++i) {
    const HttpResponse response = exchange({.url = server_.url("/")}, client);
    ASSERT_TRUE(response.error);
    EXPECT_EQ(response.error->code, HttpErrorCode::transport);
    EXPECT_NE(response.error->message.find(missing), std::string::npos) << response.errorText();
  }
  EXPECT_EQ(server_.requestCount(), 0u);
  EXPECT_EQ(client.pendingCount(), 0u);
}

TEST_F(HttpClientTest, PostSendsItsFieldsAndBodyExactly) {
  server_.setReply("/upload", ScriptedReply::withStatus(201, "made"));
  std::string body(3 * 1024 * 1024, '\0');  // large enough for curl to ask "Expect: 100-continue"
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + 3);
  HttpRequest request;
  request.method = "POST";
  request.url = server_.url("/upload");
  request.headers = {{"Content-Type", "application/octet-stream"}, {"X-Api-Key", "k1"}};
  request.body = body;
  const HttpResponse response = exchange(request);
  EXPECT_EQ(response.status, 201) << response.errorText();
  EXPECT_EQ(response.body, "made");

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].header("X-Api-Key"), "k1");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/octet-stream");
  EXPECT_TRUE(requests[0].body == body);

  // The same body streamed from a file: the file's bytes and its length, no "Expect" round trip.
  const ScopedTempDir temp;
  const std::string file = (temp.path() / "body").string();
  std::ofstream(file, std::ios::binary) << body;
  request.body.clear();
  request.bodyFile = file;
  EXPECT_EQ(exchange(request).status, 201);
  const auto streamed = server_.requests().at(1);
  EXPECT_EQ(streamed.header("Content-Length"), std::to_string(body.size()));
  EXPECT_FALSE(streamed.header("Expect"));
  EXPECT_TRUE(streamed.body == body);
  request.bodyFile = (temp.path() / "missing").string();
  const HttpResponse missing = exchange(request);
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->code, HttpErrorCode::invalidRequest);
  EXPECT_EQ(server_.requestCount(), 2u);
}

TEST_F(HttpClientTest, TheBodyCapHoldsWithAndWithoutALength) {
  const std::string twentyMiB(20 * 1024 * 1024, 'a');
  server_.setReply("/big", ScriptedReply::ok(twentyMiB));
  ScriptedReply unsized = ScriptedReply::ok(std::string(300 * 1024, 'b'));
  unsized.sendLength = false;  // the body ends where the connection does
  server_.setReply("/unsized", unsized);
  server_.setReply("/exact", ScriptedReply::ok("12345"));

  const HttpResponse big = get(server_.url("/big"));
  ASSERT_TRUE(big.error);
  EXPECT_EQ(big.error->code, HttpErrorCode::tooLarge) << big.errorText();
  EXPECT_TRUE(big.body.empty());

  const HttpResponse stream = get(server_.url("/unsized"), 10, 100 * 1024);
  ASSERT_TRUE(stream.error);
  EXPECT_EQ(stream.error->code, HttpErrorCode::tooLarge) << stream.errorText();
  EXPECT_EQ(get(server_.url("/unsized"), 10, 300 * 1024).body.size(), 300u * 1024);

  EXPECT_EQ(get(server_.url("/exact"), 10, 5).body, "12345");
  EXPECT_EQ(get(server_.url("/exact"), 10, 4).error.value_or(net::HttpError{}).code, HttpErrorCode::tooLarge);
}

TEST_F(HttpClientTest, ServersThatNeverEndOrHangUpOrAreAbsentAreErrors) {
  server_.setReply("/endless", ScriptedReply::neverEnding());
  ScriptedReply slow = ScriptedReply::ok("late");
  slow.delay = 5;
  server_.setReply("/slow", slow);
  server_.setReply("/hangup", ScriptedReply::closed());

  const HttpResponse endless = get(server_.url("/endless"), 0.5);
  ASSERT_TRUE(endless.error);
  EXPECT_EQ(endless.error->code, HttpErrorCode::timedOut) << endless.errorText();
  EXPECT_EQ(get(server_.url("/slow"), 0.3).error.value_or(net::HttpError{}).code, HttpErrorCode::timedOut);

  const HttpResponse hangup = get(server_.url("/hangup"));
  ASSERT_TRUE(hangup.error);
  EXPECT_EQ(hangup.error->code, HttpErrorCode::transport) << hangup.errorText();
  EXPECT_EQ(hangup.status, 0);

  // A port nobody listens on: this server's, once it has gone.
  std::string closedPort;
  {
    TestHttpServer gone;
    closedPort = gone.url("/x");
  }
  const HttpResponse refused = get(closedPort);
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->code, HttpErrorCode::couldNotConnect) << refused.errorText();
}

TEST_F(HttpClientTest, AnIdleTimeOutEndsASilentExchangeButNotAMovingOne) {
  ScriptedReply silent = ScriptedReply::ok("late");
  silent.delay = 20;
  server_.setReply("/silent", silent);
  server_.setReply("/endless", ScriptedReply::neverEnding());  // a byte every 0.1 s

  const HttpResponse quiet = exchange({.url = server_.url("/silent"), .timeout = 60, .idleTimeout = 1});
  ASSERT_TRUE(quiet.error);
  EXPECT_EQ(quiet.error->code, HttpErrorCode::timedOut);
  EXPECT_EQ(quiet.error->message.rfind("nothing moved for 1 s", 0), 0u) << quiet.errorText();

  // Alive, so only the whole exchange's limit ends it.
  const HttpResponse moving = exchange({.url = server_.url("/endless"), .timeout = 2.5, .idleTimeout = 1});
  ASSERT_TRUE(moving.error);
  EXPECT_EQ(moving.error->code, HttpErrorCode::timedOut);
  EXPECT_EQ(moving.error->message.rfind("no complete reply within 2.5 s", 0), 0u) << moving.errorText();

  EXPECT_EQ(exchange({.url = server_.url("/silent"), .idleTimeout = -1}).error.value_or(net::HttpError{}).code,
            HttpErrorCode::invalidRequest);
}

TEST(WebURLTest, LocationsResolveAgainstTheirAddressAndOriginsCompareAsTheyShould) {
  EXPECT_EQ(net::resolveWebURL("https://a.example/x/y?q", "/z"), "https://a.example/z");
  EXPECT_EQ(net::resolveWebURL("https://a.example/x/y", "w"), "https://a.example/x/w");
  EXPECT_EQ(net::resolveWebURL("https://a.example/x", "//b.example/p"), "https://b.example/p");
  EXPECT_EQ(net::resolveWebURL("https://a.example/x", "HTTP://c.example:81/"), "http://c.example:81/");
  EXPECT_EQ(net::resolveWebURL("https://a.example/x", "file:///etc/passwd"), std::nullopt);
  EXPECT_EQ(net::resolveWebURL("not a url", "/z"), std::nullopt);

  EXPECT_EQ(net::webOrigin("HTTPS://A.Example/p"), "https://a.example:443");
  EXPECT_EQ(net::webOrigin("https://a.example:443/q"), net::webOrigin("https://a.example/"));
  EXPECT_NE(net::webOrigin("http://a.example/"), net::webOrigin("https://a.example/"));
  EXPECT_NE(net::webOrigin("http://127.0.0.1:80/"), net::webOrigin("http://127.0.0.1:81/"));
  EXPECT_EQ(net::webOrigin("ftp://a.example/"), std::nullopt);
}

TEST_F(HttpClientTest, RequestsThatCannotBeSentFailWithoutReachingAnyServer) {
  server_.setReply("/", ScriptedReply::ok("root"));
  const auto code = [&](HttpRequest request) {
    return exchange(std::move(request)).error.value_or(net::HttpError{HttpErrorCode::cancelled, ""}).code;
  };
  for (const std::string url : {"file:///etc/passwd", "ftp://127.0.0.1/", "javascript:alert(1)", "/relative", "",
                                "http://", "http://127.0.0.1:1/a b"})
    EXPECT_EQ(code({.url = url}), HttpErrorCode::invalidRequest) << url;
  EXPECT_EQ(code({.method = "GE T", .url = server_.url()}), HttpErrorCode::invalidRequest);
  EXPECT_EQ(code({.url = server_.url(), .headers = {{"X-A", "1\r\nX-Injected: 2"}}}), HttpErrorCode::invalidRequest);
  EXPECT_EQ(code({.url = server_.url(), .timeout = 0}), HttpErrorCode::invalidRequest);
  EXPECT_EQ(server_.requestCount(), 0u);
}

TEST_F(HttpClientTest, RedirectsAreFollowedOnlyToWebAddresses) {
  server_.setReply("/old", {302, {{"Location", "/new"}}, ""});
  server_.setReply("/new", {200, {{"X-Final", "yes"}}, "moved"});
  server_.setReply("/evil", {302, {{"Location", "file:///etc/passwd"}}, ""});

  const HttpResponse followed = get(server_.url("/old"));
  EXPECT_EQ(followed.status, 200);
  EXPECT_EQ(followed.body, "moved");
  EXPECT_EQ(followed.header("X-Final"), "yes");
  EXPECT_FALSE(followed.header("Location"));  // the redirect's own fields are not the reply's

  EXPECT_TRUE(get(server_.url("/evil")).error);
  EXPECT_EQ(exchange({.url = server_.url("/old"), .followRedirects = false}).status, 302);
}

TEST_F(HttpClientTest, ACancelledRequestOrAClientThatWentNeverCompletes) {
  ScriptedReply slow = ScriptedReply::ok("late");
  slow.delay = 0.3;
  server_.setReply("/slow", slow);
  server_.setReply("/endless", ScriptedReply::neverEnding());
  server_.setReply("/fast", ScriptedReply::ok("fast"));

  int cancelledRuns = 0;
  const auto id = client_.send({.url = server_.url("/slow")}, [&](HttpResponse) { ++cancelledRuns; });
  ASSERT_TRUE(server_.waitForRequests(1));
  client_.cancel(id);
  // A later request on the same client completes, and the cancelled one stays silent after its reply time.
  EXPECT_EQ(get(server_.url("/fast")).body, "fast");
  ScriptedReply later = ScriptedReply::ok("");
  later.delay = 0.6;
  server_.setReply("/later", later);
  EXPECT_TRUE(get(server_.url("/later")).succeeded());
  EXPECT_EQ(cancelledRuns, 0);
  EXPECT_EQ(client_.pendingCount(), 0u);

  int orphanRuns = 0;
  {
    net::HttpClient shortLived(inbox_.executor());
    shortLived.send({.url = server_.url("/endless")}, [&](HttpResponse) { ++orphanRuns; });
    shortLived.send({.url = server_.url("/fast")}, [&](HttpResponse) { ++orphanRuns; });
    ASSERT_TRUE(server_.waitForRequests(5));
  }  // goes with an endless exchange running
  inbox_.runUntil([] { return false; }, 0.3);
  EXPECT_EQ(orphanRuns, 0);
}

class HttpsClientTest : public TlsTestSuite<HttpClientTest> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(authority_->ok()) << authority_->error();
    ASSERT_TRUE(stranger_->ok()) << stranger_->error();
    ASSERT_TRUE(tls_.started()) << tls_.error();
    tls_.setReply("/secure", ScriptedReply::ok("sealed"));
  }
  HttpRequest secure(std::string caFile, std::string url = "") {
    return {.url = url.empty() ? tls_.url("/secure") : url, .timeout = 10, .caFile = std::move(caFile)};
  }

};

TEST_F(HttpsClientTest, CertificatesAreVerifiedAgainstTheTrustedAuthorityAndTheHostName) {
  const HttpResponse trusted = exchange(secure(authority_->caFile()));
  EXPECT_TRUE(trusted.succeeded()) << trusted.errorText();
  EXPECT_EQ(trusted.body, "sealed");

  const auto failure = [&](HttpRequest request) {
    const HttpResponse response = exchange(std::move(request));
    return response.error ? response.error->code : HttpErrorCode::cancelled;
  };
  EXPECT_EQ(failure(secure("")), HttpErrorCode::tls);                      // the system does not know it
  EXPECT_EQ(failure(secure(stranger_->caFile())), HttpErrorCode::tls);     // another authority
  const std::string byName = "https://localhost:" + std::to_string(tls_.port()) + "/secure";
  EXPECT_EQ(failure(secure(authority_->caFile(), byName)), HttpErrorCode::tls);  // issued for 127.0.0.1 only
  EXPECT_EQ(tls_.requestCount(), 1u);  // only the verified exchange got as far as a request
}

TEST_F(HttpsClientTest, APinnedPublicKeyMustMatch) {
  HttpRequest pinned = secure(authority_->caFile());
  pinned.pinnedPublicKey = authority_->publicKeyPin();
  EXPECT_EQ(exchange(pinned).body, "sealed");

  pinned.pinnedPublicKey = stranger_->publicKeyPin();
  const HttpResponse refused = exchange(pinned);
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->code, HttpErrorCode::tls) << refused.errorText();
}

TEST_F(HttpsClientTest, AnchorsHeldInMemoryAreTheOnlyAuthoritiesTrusted) {
  const auto pem = [](const std::string& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  HttpRequest anchored{.url = tls_.url("/secure"), .timeout = 10, .caCertificates = pem(authority_->caFile())};
  const HttpResponse trusted = exchange(anchored);
  EXPECT_EQ(trusted.body, "sealed") << trusted.errorText();

  // The anchors win over a file that would trust the server, and a stranger's anchors trust nothing here.
  anchored.caCertificates = pem(stranger_->caFile());
  anchored.caFile = authority_->caFile();
  const HttpResponse refused = exchange(anchored);
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->code, HttpErrorCode::tls) << refused.errorText();
}

TEST(WebURLTest, ReferencesResolveAsTheStandardsExamplesDo) {
  const std::string base = "http://a/b/c/d;p?q";
  const std::pair<const char*, const char*> examples[] = {
      {"g", "http://a/b/c/g"},        {"./g", "http://a/b/c/g"},        {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},           {"//g", "http://g/"},             {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},    {"#s", "http://a/b/c/d;p?q#s"},   {"g#s", "http://a/b/c/g#s"},
      {";x", "http://a/b/c/;x"},      {".", "http://a/b/c/"},           {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},          {"../g", "http://a/b/g"},         {"../..", "http://a/"},
      {"../../../g", "http://a/g"},   {"/./g", "http://a/g"},           {"g/../h", "http://a/b/c/h"},
      {"g;x=1/../y", "http://a/b/c/y"}, {"https://b:8443/x/../y", "https://b:8443/y"}};
  for (const auto& [reference, expected] : examples)
    EXPECT_EQ(net::resolveWebURL(base, reference), expected) << reference;
  for (const char* notWeb : {"g:h", "mailto:x@y", "http:g", "https://", "//", "g h"})
    EXPECT_EQ(net::resolveWebURL(base, notWeb), std::nullopt) << notWeb;
}

TEST(WebURLTest, HostsPortsAndUserPartsAreReadAsWritten) {
  for (const char* good : {"http://[::1]:8080/", "https://[fe80::1%25eth0]/", "http://user:pw@host/",
                           "http://host:/", "http://host:65535", "http://a.b-c_d~e/"})
    EXPECT_TRUE(net::isWebURL(good)) << good;
  for (const char* bad : {"http://host:65536/", "http://host:8x/", "http://[::1/", "http://[zz]/", "http://@host/",
                          "http://user@/", "http://ho<st/", "http://ho%zzst/", "http://[::1]x/"})
    EXPECT_FALSE(net::isWebURL(bad)) << bad;
  EXPECT_EQ(net::webOrigin("http://user:pw@Host:081/p"), "http://host:81");
  EXPECT_EQ(net::webOrigin("https://[::1]/"), "https://[::1]:443");
  EXPECT_EQ(net::webOrigin("https://a.example:443/"), net::webOrigin("https://A.EXAMPLE"));
}

TEST(WebURLTest, OnlyAbsoluteWebAddressesPass) {
  for (const char* good : {"http://127.0.0.1:8080/x?y=1#z", "HTTPS://Example.org", "https://a.b/c%20d"})
    EXPECT_TRUE(net::isWebURL(good)) << good;
  for (const char* bad : {"", "example.org", "file:///etc/passwd", "javascript:alert(1)", "https:///path",
                          "http:/x", "https://exa mple.org", "https://example.org/\n", "mailto:a@b.c",
                          "https://\xC3\xA9.org"})
    EXPECT_FALSE(net::isWebURL(bad)) << bad;
  EXPECT_FALSE(net::isWebURL("https://a.b/" + std::string(9000, 'x')));
  EXPECT_EQ(net::percentEncode("1.2.3-b_4~"), "1.2.3-b_4~");
  EXPECT_EQ(net::percentEncode("1.2 beta&x=#/\xC3\xA9"), "1.2%20beta%26x%3D%23%2F%C3%A9");
}

}  // namespace
}  // namespace tilvane::test
