// The report upload client against the local HTTP(S) server: the request as sent, the outcome reaching the
// reports controller, one task per package, the bounded restarts on a virtual clock, pinning, and task paths.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDNetworkClient.h"
#include "crashreporting/Reports/VRDReportsController.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/SystemLog.h"
#include "crashreporting/support/Awaiter.h"
#include "support/TestEnvironment.h"
#include "support/http/TestCertificateAuthority.h"
#include "support/http/TestHttpServer.h"
#include "support/http/TlsTestSuite.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;
using tilvane::test::ScriptedReply;
using tilvane::test::TestCertificateAuthority;
using tilvane::test::TestHttpServer;

constexpr const char* kReports = "/sdk-api/v1/platforms/mac/apps/com.example.host/reports";

/// Restarts wait here instead of in real time: each delay is added to the virtual clock and the restart runs.
struct VirtualClock {
  std::mutex mutex;
  double now = 0;
  std::vector<double> delays;
};

class UploadClient : public ::testing::Test, public VRDReportsControllerDelegate, public VRDNetworkClientDelegate {
 protected:
  UploadClient() {
    queue_->setMaxConcurrentOperationCount(1);
    EXPECT_TRUE(store_.prepareForNewLaunch());
  }
  ~UploadClient() override {
    if (client_) client_->setDelegate(nullptr);
    queue_->waitUntilAllOperationsAreFinished();
    ProcessShared::resetAll();
  }

  void SetUp() override { ASSERT_TRUE(server_.started()) << server_.error(); }

  /// The client, pinned to `pinner`, with restarts on the virtual clock (jitter 1.0).
  void makeClient(std::shared_ptr<const ZIZCertificatePinner> pinner = VRDNetworkClient::pinner()) {
    client_ = VRDNetworkClient::create(queue_, store_, this, std::move(pinner));
    client_->setUniformSource([] { return 0.5; });
    client_->setScheduler([clock = clock_](std::chrono::nanoseconds delay, std::function<void()> block) {
      {
        const std::lock_guard lock(clock->mutex);
        clock->delays.push_back(static_cast<double>(delay.count()) / 1e9);
        clock->now += clock->delays.back();
      }
      block();
    });
    reports_ = std::make_unique<VRDReportsController>(*this, *client_, store_);
  }

  /// A package of `size` random bytes in prepared.
  std::string package(const std::string& boundary, std::size_t size = 1536 * 1024) {
    const std::string path = (fs::path(store_.preparedPath()) / (boundary + ".multipartmime")).string();
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::pair<std::string, std::optional<Error>>> finished() {
    const std::lock_guard lock(mutex_);
    return finished_;
  }

  VRDSettings settingsForReportsController(VRDReportsController&) override { return VRDSettings(); }
  std::optional<std::string> bundleIdentifierForReportsController(VRDReportsController&) override {
    return "com.example.host";
  }
  std::optional<std::string> APIKeyForReportsController(VRDReportsController&) override { return "k"; }
  void reportsControllerDidCompletePackageSubmission(VRDReportsController&, const std::string&,
                                                     const std::optional<Error>&) override {}
  void reportsControllerDidCompleteAllSubmissions(VRDReportsController&) override {}
  bool networkClientCanUseBackgroundSessions(VRDNetworkClient&) override { return true; }
  void networkClientDidFinishUploadWithPath(VRDNetworkClient&, const std::string& path,
                                            const std::optional<Error>& error) override {
    reports_->reportUploadAtPath(path, error);  // as the crash-reporting controller passes it on
    {
      const std::lock_guard lock(mutex_);
      finished_.emplace_back(path, error);
    }
    done_.notify();
  }

  tilvane::test::ScopedTempDir temp_;
  TestHttpServer server_;
  tilvane::test::ScopedEnv endpoint_{"VuveradaradReportsEndpoint", server_.url("")};
  SystemLog::Capture log_;
  VRDFileManager store_{(temp_.path() / "store").string()};
  std::shared_ptr<OperationQueue> queue_ = std::make_shared<OperationQueue>("uploads");
  std::shared_ptr<VirtualClock> clock_ = std::make_shared<VirtualClock>();
  std::shared_ptr<VRDNetworkClient> client_;
  std::unique_ptr<VRDReportsController> reports_;
  Awaiter done_;
  std::mutex mutex_;
  std::vector<std::pair<std::string, std::optional<Error>>> finished_;
};

TEST_F(UploadClient, PostsTheFileWithTheHeadersInOrderAndASuccessRemovesThePackage) {
  tilvane::test::ScopedEnv locale("LC_ALL", "de_CH.UTF-8");
  server_.setReply(kReports, ScriptedReply::ok("{}"));
  makeClient();
  EXPECT_FALSE(client_->supportsBackgroundRequests());  // the delegate's yes cannot help: Linux has none
  const std::string path = package("B0UNDARY");
  const std::string bytes = read(path);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, false));
  ASSERT_TRUE(done_.waitFor(1));

  ASSERT_EQ(server_.requestCount(), 1u);
  const auto request = server_.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, kReports);
  std::vector<std::string> names;
  for (const auto& [name, value] : request.headers)
    if (name != "Host") names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "User-Agent", "Accept", "Accept-Charset", "Accept-Language", "Content-Language",
                       "X-Vuveradarad-Developer-Token", "X-Vuveradarad-API-Client-Id",
                       "X-Vuveradarad-API-Client-Display-Version", "X-Vuveradarad-API-Client-Build-Version",
                       "X-Vuveradarad-API-Key", "Content-Type", "Content-Length"}));
  EXPECT_EQ(request.header("User-Agent"), "Vuveradarad Mac SDK/3.8.6");
  EXPECT_EQ(request.header("Accept-Language"), "de_CH");
  EXPECT_EQ(request.header("X-Vuveradarad-API-Client-Id"), "com.zizozu.vuveradarad");
  EXPECT_EQ(request.header("X-Vuveradarad-API-Key"), "k");
  EXPECT_EQ(request.header("Content-Type"), "multipart/form-data; boundary=B0UNDARY");
  EXPECT_EQ(request.header("Content-Length"), std::to_string(bytes.size()));
  EXPECT_TRUE(request.body == bytes);  // streamed from the file, byte for byte

  ASSERT_EQ(finished().size(), 1u);
  EXPECT_EQ(finished()[0].first, path);
  EXPECT_FALSE(finished()[0].second);
  EXPECT_FALSE(fs::exists(path));
  // Gone, so a later submission is an already-submitted report.
  EXPECT_FALSE(reports_->submitPackageMultipartMimeAtPath(path, false));
}

TEST_F(UploadClient, AServerThatStaysDownGetsBoundedRestartsAndThePackageIsKept) {
  server_.setReply(kReports, ScriptedReply::withStatus(500));
  makeClient();
  const std::string path = package("DOWN", 100);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, false));
  ASSERT_TRUE(done_.waitFor(1));
  EXPECT_EQ(server_.requestCount(), 1 + VRDNetworkClient::kRestartLimit);
  std::vector<double> expected{2};
  for (int n = 1; n < 10; ++n) expected.push_back(std::pow(2.0, n));
  EXPECT_EQ(clock_->delays, expected);
  EXPECT_EQ(clock_->now, 1024.0);  // then the error goes to the delegate, not every 2 s forever
  ASSERT_EQ(finished().size(), 1u);
  ASSERT_TRUE(finished()[0].second);
  EXPECT_EQ(finished()[0].second->domain, kZIZNetworkErrorDomain);
  EXPECT_EQ(finished()[0].second->code, ZIZNetworkErrorRetryLimit);
  EXPECT_TRUE(fs::exists(path));

  // A client error is not restarted; Retry-After sets the wait; the file stays for the next attempt.
  server_.setReply(kReports, ScriptedReply::withStatus(404));
  server_.queueReply(kReports, {429, {{"Retry-After", "30"}}, ""});
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, false));
  ASSERT_TRUE(done_.waitFor(2));
  EXPECT_EQ(clock_->delays.back(), 30.0);
  EXPECT_EQ(finished()[1].second->code, ZIZNetworkErrorClientError);
  EXPECT_TRUE(fs::exists(path));
}

TEST_F(UploadClient, APackageUnderWayIsNotStartedTwice) {
  server_.setReply(kReports, {200, {{"Content-Type", "application/json"}}, "{}", 0.5});
  Zizozu::sharedSDK().setDebug(true);  // the client's lines below are written in debug mode only
  makeClient();
  EXPECT_EQ(log_.count("[Vuveradarad:Crash:Client] Background session uploading not supported, asynchronous "
                       "uploading will be used"),
            1u);
  const std::string path = package("ONCE", 100);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, false));
  ASSERT_TRUE(server_.waitForRequests(1));
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, false));
  ASSERT_TRUE(done_.waitFor(1));
  queue_->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(server_.requestCount(), 1u);
  EXPECT_EQ(finished().size(), 1u);
  EXPECT_EQ(log_.count("[Vuveradarad:Crash:Client] A task currently exists for this upload, skipping"), 1u);
  client_->URLSessionDidBecomeInvalidWithError(Error{"d", 7, {}, {}});
  EXPECT_EQ(log_.count("[Vuveradarad:Crash:Client] session became invalid: " + Error{"d", 7, {}, {}}.description()),
            1u);
}

// At the exit: a report on its way is waited for, within the bound, so the package the server took is gone before
// the process ends; one still unanswered at the bound stays for the next start; none starts once the exit began.
TEST_F(UploadClient, AnExitWaitsForTheReportOnItsWayAndStartsNone) {
  server_.setReply(kReports, {200, {{"Content-Type", "application/json"}}, "{}", 0.3});
  makeClient();
  const std::string answered = package("ANSWERED", 100);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(answered, false));
  ASSERT_TRUE(server_.waitForRequests(1));
  client_->holdNewUploads();
  const std::string held = package("HELD", 100);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(held, false));
  EXPECT_TRUE(client_->waitUntilAnswered(std::chrono::steady_clock::now() + std::chrono::seconds(5)));
  EXPECT_FALSE(fs::exists(answered));
  queue_->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(server_.requestCount(), 1u);
  EXPECT_TRUE(fs::exists(held));
  EXPECT_EQ(finished().size(), 1u);

  server_.setReply(kReports, {200, {{"Content-Type", "application/json"}}, "{}", 30});
  makeClient();
  const std::string late = package("LATE", 100);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(late, false));
  ASSERT_TRUE(server_.waitForRequests(2));
  client_->holdNewUploads();
  EXPECT_FALSE(client_->waitUntilAnswered(std::chrono::steady_clock::now() + std::chrono::milliseconds(300)));
  EXPECT_TRUE(fs::exists(late));
  client_->setDelegate(nullptr);
}

TEST_F(UploadClient, AnUploadTheServerAcceptedIsDoneWhateverItsReplysBodyAndIsNotSentAgain) {
  // Past the 16 MiB a reply may hold, and of another type than asked for: still the server took the report.
  server_.setReply(kReports, {200, {{"Content-Type", "text/html"}}, std::string(20 << 20, 'x')});
  makeClient();
  const std::string path = package("ACCEPTED", 100);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, false));
  ASSERT_TRUE(done_.waitFor(1));
  ASSERT_EQ(finished().size(), 1u);
  EXPECT_FALSE(finished()[0].second) << finished()[0].second->description();
  EXPECT_FALSE(fs::exists(path));

  // The same for an urgent, synchronous send.
  const std::string urgent = package("ACCEPTEDNOW", 100);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(urgent, true));
  ASSERT_EQ(finished().size(), 2u) << ::testing::PrintToString(log_.lines());
  EXPECT_FALSE(finished()[1].second);
  EXPECT_FALSE(fs::exists(urgent));
  EXPECT_EQ(server_.requestCount(), 2u);
  EXPECT_EQ(clock_->delays.size(), 0u);
}

TEST_F(UploadClient, TheFirstFailedAttemptOfAPackageIsAWarningAndItsRetriesAreNot) {
  server_.setReply(kReports, ScriptedReply::withStatus(500));
  makeClient();
  // Restarts wait here until the test lets them go.
  std::mutex mutex;
  std::vector<std::function<void()>> held;
  Awaiter scheduled;
  client_->setScheduler([&](std::chrono::nanoseconds, std::function<void()> block) {
    {
      const std::lock_guard lock(mutex);
      held.push_back(std::move(block));
    }
    scheduled.notify();
  });
  const std::string path = package("WARNED", 100);
  const std::string warning = "[Vuveradarad:Crash:Client] WARNING: the upload of 'v3/prepared/WARNED.multipartmime' "
                              "failed (status 500); it will be tried again";
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, false));
  ASSERT_TRUE(scheduled.waitFor(1));  // the first attempt failed and its restart waits
  EXPECT_EQ(log_.count(warning), 1u);
  std::function<void()> restart;
  {
    const std::lock_guard lock(mutex);
    restart = held.back();
  }
  restart();
  ASSERT_TRUE(scheduled.waitFor(2));
  EXPECT_EQ(server_.requestCount(), 2u);
  EXPECT_EQ(log_.count(warning), 1u);  // without debug mode a retry says nothing more
  const auto lines = log_.lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
              return line.find("WARNED") != std::string::npos;
            }),
            1);
}

TEST_F(UploadClient, UrgentUploadsAreSentBeforeTheCallReturnsAndOnlySuccessIsReported) {
  makeClient();
  server_.queueReply(kReports, ScriptedReply::withStatus(500));
  server_.setReply(kReports, ScriptedReply::ok("{}"));
  const std::string path = package("URGENT", 100);
  const std::string bytes = read(path);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, true));
  EXPECT_EQ(server_.requestCount(), 1u);
  EXPECT_TRUE(finished().empty());  // no restart, nothing reported: the file waits for a later launch
  EXPECT_TRUE(fs::exists(path));
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, true));
  ASSERT_EQ(finished().size(), 1u);  // already reported when the call returned
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(server_.requests()[1].body == bytes);
}

TEST_F(UploadClient, TaskPathsLoseOnlyTheRootPrefixAndFilesElsewhereAreRefused) {
  makeClient();
  const std::string root = store_.rootPath();
  EXPECT_EQ(client_->relativeTaskPathForAbsolutePath(root + "/v3/prepared" + root + "/p.multipartmime"),
            "v3/prepared" + root + "/p.multipartmime");
  EXPECT_EQ(client_->absolutePathForRelativeTaskPath("v3/prepared/p"), root + "/v3/prepared/p");
  EXPECT_FALSE(client_->relativeTaskPathForAbsolutePath(root + "x/p"));
  EXPECT_FALSE(client_->relativeTaskPathForAbsolutePath("/elsewhere/p"));

  // A package whose path holds the root's text again still completes under its own path.
  server_.setReply(kReports, ScriptedReply::ok("{}"));
  const fs::path nested = fs::path(store_.preparedPath() + root);
  fs::create_directories(nested);
  const std::string path = (nested / "NESTED.multipartmime").string();
  std::ofstream(path) << "body";
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(path, false));
  ASSERT_TRUE(done_.waitFor(1));
  EXPECT_EQ(finished()[0].first, path);
  EXPECT_FALSE(finished()[0].second);

  // Outside the root, or unreadable: no request, error −2 with the path; the file is left alone.
  const std::string outside = (temp_.path() / "outside.multipartmime").string();
  std::ofstream(outside) << "body";
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(outside, false));
  ASSERT_TRUE(done_.waitFor(2));
  const std::string locked = package("LOCKED", 10);
  fs::permissions(locked, fs::perms::none);
  const bool root_user = access(locked.c_str(), R_OK) == 0;
  if (!root_user) {
    ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(locked, false));
    ASSERT_TRUE(done_.waitFor(3));
  }
  for (std::size_t i = 1; i < finished().size(); ++i) {
    ASSERT_TRUE(finished()[i].second);
    EXPECT_EQ(finished()[i].second->domain, kVRDNetworkErrorDomain);
    EXPECT_EQ(finished()[i].second->code, VRDNetworkErrorFileUnreadable);
    EXPECT_EQ(finished()[i].second->userInfo.at("path"), Value(finished()[i].first));
  }
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_EQ(server_.requestCount(), 1u);
  // An empty package counts as already submitted.
  EXPECT_FALSE(reports_->submitPackageMultipartMimeAtPath(package("EMPTY", 0), false));
}

class PinnedUploadClient : public tilvane::test::TlsTestSuite<UploadClient> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(authority_->ok()) << authority_->error();
    ASSERT_TRUE(tls_.started()) << tls_.error();
    tls_.setReply(kReports, ScriptedReply::ok("{}"));
  }
  static std::shared_ptr<const ZIZCertificatePinner> pinnerOf(const TestCertificateAuthority& authority) {
    return std::make_shared<const ZIZCertificatePinner>(Certificate::fromPEM(read(authority.caFile())));
  }

  tilvane::test::ScopedEnv tlsEndpoint_{"VuveradaradReportsEndpoint", tls_.url("")};
};

TEST_F(PinnedUploadClient, OnlyThePinnedAuthorityIsTrustedUnlessInDebugMode) {
  makeClient(pinnerOf(*authority_));
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(package("PINNED", 100), false));
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(package("PINNEDNOW", 100), true));
  ASSERT_TRUE(done_.waitFor(2));
  EXPECT_FALSE(finished()[0].second);
  EXPECT_FALSE(finished()[1].second);
  EXPECT_EQ(tls_.requestCount(), 2u);

  // The kit's own anchors do not know the test authority: every attempt is refused before a request.
  makeClient();
  const std::string refused = package("REFUSED", 100);
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(refused, true));
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(refused, false));
  ASSERT_TRUE(done_.waitFor(3));
  EXPECT_EQ(finished()[2].second->code, ZIZNetworkErrorRetryLimit);
  EXPECT_EQ(tls_.requestCount(), 2u);

  // Debug mode does not pin: the system's store decides (it does not know the test authority either).
  Zizozu::sharedSDK().setDebug(true);
  makeClient(pinnerOf(*authority_));
  ASSERT_TRUE(reports_->submitPackageMultipartMimeAtPath(refused, false));
  ASSERT_TRUE(done_.waitFor(4));
  EXPECT_EQ(finished()[3].second->code, URLErrorServerCertificateUntrusted);
  EXPECT_TRUE(fs::exists(refused));
}

}  // namespace
}  // namespace crashreporting::test
