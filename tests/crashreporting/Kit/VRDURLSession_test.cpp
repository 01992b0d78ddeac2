// The library's URL session against the local test server: data, upload and download tasks, the delegate and
// handler forms, cancelling, the task list, invalidation, and a download sink that fails.
#include "crashreporting/Kit/VRDURLSession.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>

#include "crashreporting/support/Awaiter.h"
#include "support/TestEnvironment.h"
#include "support/http/TestHttpServer.h"

namespace crashreporting::test {
namespace {

using tilvane::test::ScopedTempDir;
using tilvane::test::ScriptedReply;
using tilvane::test::TestHttpServer;

struct Outcome {
  std::optional<Data> data;
  std::optional<std::filesystem::path> location;
  std::string fileText;  // the downloaded file, read inside the handler
  std::optional<URLResponse> response;
  std::optional<Error> error;
};

class RecordingDelegate : public VRDURLSessionDelegate {
 public:
  void URLSessionTaskDidCompleteWithError(VRDURLSession&, VRDURLSessionTask&, const std::optional<Error>& e) override {
    record("complete" + std::string(e ? ":" + std::to_string(e->code) : ""));
    completed.notify();
  }
  void URLSessionDataTaskDidReceiveResponse(VRDURLSession&, VRDURLSessionDataTask&, const URLResponse& r,
                                            const ResponseCompletion&) override {
    record("response:" + std::to_string(r.statusCode.value_or(0)));
  }
  void URLSessionDataTaskDidReceiveData(VRDURLSession&, VRDURLSessionDataTask&, const Data& d) override {
    record("data:" + std::string(d.begin(), d.end()));
  }
  void URLSessionDownloadTaskDidFinishDownloadingToURL(VRDURLSession&, VRDURLSessionDownloadTask&,
                                                       const std::filesystem::path& file) override {
    record("downloaded:" + tilvane::test::readFile(file));
  }
  std::vector<std::string> calls() {
    const std::lock_guard lock(mutex_);
    return calls_;
  }
  Awaiter completed;

 private:
  void record(std::string call) {
    const std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

/// Takes `capacity` bytes, then refuses every write (a full disk).
class FullStream : public OutputStream {
 public:
  explicit FullStream(std::size_t capacity) : capacity_(capacity) {}
  bool open() override { return true; }
  std::ptrdiff_t write(const std::uint8_t*, std::size_t length) override {
    const std::size_t taken = std::min(length, capacity_);
    capacity_ -= taken;
    return taken == 0 ? -1 : static_cast<std::ptrdiff_t>(taken);
  }
  void close() override {}

 private:
  std::size_t capacity_;
};

class VRDURLSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.started()) << server_.error(); }

  std::shared_ptr<VRDURLSession> makeSession(VRDURLSessionConfiguration configuration = {},
                                             std::shared_ptr<VRDURLSessionDelegate> delegate = nullptr) {
    if (configuration.downloadDirectory.empty()) configuration.downloadDirectory = temp_.path();
    return VRDURLSession::sessionWithConfiguration(configuration, std::move(delegate));
  }
  VRDURLSessionDataTask::CompletionHandler dataHandler() {
    return [this](std::optional<Data> data, std::optional<URLResponse> response, std::optional<Error> error) {
      outcome_ = {std::move(data), {}, {}, std::move(response), std::move(error)};
      done_.notify();
    };
  }
  VRDURLSessionDownloadTask::CompletionHandler downloadHandler() {
    return [this](std::optional<std::filesystem::path> location, std::optional<URLResponse> response,
                  std::optional<Error> error) {
      const std::string text = location ? tilvane::test::readFile(*location) : "";
      outcome_ = {{}, std::move(location), text, std::move(response), std::move(error)};
      done_.notify();
    };
  }
  std::size_t filesLeft() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(temp_.path()), {}));
  }

  TestHttpServer server_;
  ScopedTempDir temp_;
  Outcome outcome_;
  Awaiter done_;
};

TEST_F(VRDURLSessionTest, ADataTaskWithAHandlerReportsOnlyThroughItAndAppendsTheSessionHeaders) {
  server_.setReply("/data", {200, {{"Content-Type", "text/plain"}, {"X-Request-Id", "r1"}}, "payload"});
  VRDURLSessionConfiguration configuration;
  configuration.HTTPAdditionalHeaders = {{"X-Extra", "session"}, {"X-Only", "config"}};
  const auto delegate = std::make_shared<RecordingDelegate>();
  const auto session = makeSession(configuration, delegate);
  URLRequest request(server_.url("/data"));
  request.setValue("request", "X-Extra");
  const auto task = session->dataTaskWithRequest(request, dataHandler());
  ASSERT_TRUE(task);
  EXPECT_EQ(task->state(), VRDURLSessionTask::State::suspended);
  EXPECT_EQ(server_.requestCount(), 0u);  // made suspended
  task->resume();
  task->resume();  // a second resume does nothing
  ASSERT_TRUE(done_.waitFor(1));

  ASSERT_TRUE(outcome_.data);
  EXPECT_EQ(std::string(outcome_.data->begin(), outcome_.data->end()), "payload");
  EXPECT_EQ(outcome_.response->statusCode, 200);
  EXPECT_EQ(outcome_.response->valueForHTTPHeaderField("x-request-id"), "r1");
  EXPECT_FALSE(outcome_.error);
  ASSERT_EQ(server_.requestCount(), 1u);
  const auto sent = server_.requests()[0];
  EXPECT_EQ(sent.header("X-Extra"), "request,session");  // the request's value first
  EXPECT_EQ(sent.header("X-Only"), "config");
  ASSERT_TRUE(eventually([&] { return task->state() == VRDURLSessionTask::State::completed; }));
  EXPECT_TRUE(delegate->calls().empty());  // the handler took everything
}

TEST_F(VRDURLSessionTest, ADelegateTaskReportsResponseDataAndCompletionOnTheDelegateQueue) {
  server_.setReply("/data", ScriptedReply::ok("{}"));
  server_.setReply("/missing", ScriptedReply::withStatus(404));
  const auto delegate = std::make_shared<RecordingDelegate>();
  const auto session = makeSession({}, delegate);
  session->dataTaskWithRequest(URLRequest(server_.url("/data")))->resume();
  ASSERT_TRUE(delegate->completed.waitFor(1));
  session->dataTaskWithRequest(URLRequest(server_.url("/missing")))->resume();
  ASSERT_TRUE(delegate->completed.waitFor(2));
  EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"response:200", "data:{}", "complete", "response:404",
                                                         "complete"}));
}

// On a delegate queue the owner shares with its own work, a task's calls go ahead of that work: a burst of it does
// not keep an answer waiting.
TEST_F(VRDURLSessionTest, TheDelegatesCallsGoAheadOfTheOwnersWorkOnASharedQueue) {
  server_.setReply("/data", ScriptedReply::ok("{}"));
  const auto delegate = std::make_shared<RecordingDelegate>();
  const auto queue = std::make_shared<OperationQueue>("shared");
  queue->setMaxConcurrentOperationCount(1);
  VRDURLSessionConfiguration configuration;
  configuration.downloadDirectory = temp_.path();
  const auto session = VRDURLSession::sessionWithConfiguration(configuration, delegate, queue);
  std::promise<void> release;
  queue->addOperationWithBlock([gate = release.get_future().share()] { gate.wait(); });
  std::vector<std::size_t> callsSeenByTheOwner;  // touched on the queue only
  for (int i = 0; i < 20; ++i)
    queue->addOperationWithBlock([&] { callsSeenByTheOwner.push_back(delegate->calls().size()); });
  session->dataTaskWithRequest(URLRequest(server_.url("/data")))->resume();
  // The gate, the owner's twenty, and the response, data and completion calls.
  ASSERT_TRUE(eventually([&] { return queue->operationCount() == 24; }));
  release.set_value();
  queue->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"response:200", "data:{}", "complete"}));
  EXPECT_EQ(callsSeenByTheOwner, std::vector<std::size_t>(20, 3));
}

TEST_F(VRDURLSessionTest, AnUploadSendsItsFileAndAMissingFileFails) {
  server_.setReply("/upload", ScriptedReply::withStatus(201));
  const auto file = temp_.path() / "package.bin";
  std::ofstream(file) << "multipart bytes";
  const auto session = makeSession();
  URLRequest request(server_.url("/upload"));
  request.setHTTPMethod("POST");
  request.setHTTPBody({'x'});
  session->uploadTaskWithRequest(request, file, dataHandler())->resume();
  ASSERT_TRUE(done_.waitFor(1));
  EXPECT_FALSE(outcome_.error);
  ASSERT_EQ(server_.requestCount(), 1u);
  EXPECT_EQ(server_.requests()[0].body, "multipart bytes");

  session->uploadTaskWithRequest(request, temp_.path() / "gone.bin", dataHandler())->resume();
  ASSERT_TRUE(done_.waitFor(2));
  ASSERT_TRUE(outcome_.error);
  EXPECT_EQ(outcome_.error->code, URLErrorFileDoesNotExist);
  EXPECT_EQ(server_.requestCount(), 1u);
}

TEST_F(VRDURLSessionTest, ADownloadsFileLivesOnlyWhileItIsHandedOver) {
  server_.setReply("/settings", ScriptedReply::ok(R"({"app":null})"));
  const auto delegate = std::make_shared<RecordingDelegate>();
  const auto session = makeSession({}, delegate);
  session->downloadTaskWithRequest(URLRequest(server_.url("/settings")), downloadHandler())->resume();
  ASSERT_TRUE(done_.waitFor(1));
  EXPECT_FALSE(outcome_.error);
  ASSERT_TRUE(outcome_.location);
  EXPECT_EQ(outcome_.fileText, R"({"app":null})");
  EXPECT_TRUE(eventually([&] { return filesLeft() == 0; }));

  session->downloadTaskWithURL(server_.url("/settings"))->resume();
  ASSERT_TRUE(delegate->completed.waitFor(1));
  EXPECT_EQ(delegate->calls(), (std::vector<std::string>{R"(downloaded:{"app":null})", "complete"}));
  EXPECT_EQ(filesLeft(), 0u);
}

TEST_F(VRDURLSessionTest, ADownloadToASinkThatFillsUpEndsWithAnErrorAndNeverAsASuccess) {
  server_.setReply("/big", ScriptedReply::ok(std::string(4096, 'x')));
  VRDURLSessionConfiguration configuration;
  configuration.downloadStreamFactory = [](const std::filesystem::path&) { return std::make_unique<FullStream>(100); };
  const auto delegate = std::make_shared<RecordingDelegate>();
  const auto session = makeSession(configuration, delegate);
  session->downloadTaskWithRequest(URLRequest(server_.url("/big")), downloadHandler())->resume();
  ASSERT_TRUE(done_.waitFor(1));
  ASSERT_TRUE(outcome_.error);
  EXPECT_EQ(outcome_.error->domain, kVRDURLSessionDownloadTaskErrorDomain);
  EXPECT_EQ(outcome_.error->code, -1);
  EXPECT_FALSE(outcome_.location);

  session->downloadTaskWithURL(server_.url("/big"))->resume();
  ASSERT_TRUE(delegate->completed.waitFor(1));
  EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"complete:-1"}));  // no finished-downloading call

  // A folder that cannot be written: the file cannot even be made.
  VRDURLSessionConfiguration nowhere;
  nowhere.downloadDirectory = temp_.path() / "missing" / "folder";
  const auto unwritable = VRDURLSession::sessionWithConfiguration(nowhere);
  unwritable->downloadTaskWithRequest(URLRequest(server_.url("/big")), downloadHandler())->resume();
  ASSERT_TRUE(done_.waitFor(2));
  ASSERT_TRUE(outcome_.error);
  EXPECT_EQ(outcome_.error->domain, kVRDURLSessionDownloadTaskErrorDomain);
}

TEST_F(VRDURLSessionTest, RunningTasksAreListedAndCancellingEndsThemAsCancelled) {
  server_.setReply("/endless", ScriptedReply::neverEnding());
  const auto session = makeSession();
  const auto task = session->dataTaskWithRequest(URLRequest(server_.url("/endless")), dataHandler());
  const auto download = session->downloadTaskWithRequest(URLRequest(server_.url("/endless")), downloadHandler());
  task->resume();
  ASSERT_TRUE(server_.waitForRequests(1));

  Awaiter listed;
  std::size_t dataCount = 0, downloadCount = 0;
  session->getTasksWithCompletionHandler([&](auto data, auto upload, auto downloads) {
    dataCount = data.size() + upload.size();
    downloadCount = downloads.size();
    listed.notify();
  });
  ASSERT_TRUE(listed.waitFor(1));
  EXPECT_EQ(dataCount, 1u);
  EXPECT_EQ(downloadCount, 1u);  // not resumed, yet not completed

  task->cancel();
  ASSERT_TRUE(done_.waitFor(1));
  ASSERT_TRUE(outcome_.error);
  EXPECT_EQ(outcome_.error->domain, kURLErrorDomain);
  EXPECT_EQ(outcome_.error->code, URLErrorCancelled);

  download->resume();
  session->invalidateAndCancel();
  ASSERT_TRUE(done_.waitFor(2));
  EXPECT_EQ(outcome_.error->code, URLErrorCancelled);
  EXPECT_FALSE(session->dataTaskWithRequest(URLRequest(server_.url("/endless"))));  // invalidated
  session->getTasksWithCompletionHandler([&](auto data, auto upload, auto downloads) {
    dataCount = data.size() + upload.size() + downloads.size();
    listed.notify();
  });
  ASSERT_TRUE(listed.waitFor(2));
  EXPECT_EQ(dataCount, 0u);
  EXPECT_EQ(done_.count(), 2);  // each task completed once
}

TEST(VRDURLSessionConfigurationTest, ThereAreNoBackgroundSessionsOnLinux) {
  EXPECT_FALSE(VRDURLSession::NSURLSessionShouldBeUsed());
  EXPECT_FALSE(VRDURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("com.zizozu.background"));
  EXPECT_FALSE(VRDURLSession::sessionWithConfiguration(std::nullopt));
  VRDURLSessionConfiguration configuration;
  configuration.HTTPAdditionalHeaders = {{"A", "b"}};
  configuration.timeoutIntervalForRequest = 5;
  configuration.timeoutIntervalForResource = 90;
  configuration.allowsCellularAccess = false;
  const auto kept = configuration.copy();
  EXPECT_EQ(kept.HTTPAdditionalHeaders, configuration.HTTPAdditionalHeaders);
  EXPECT_EQ(kept.timeoutIntervalForRequest, 5.0);  // the time-outs travel: the resource one bounds each task
  EXPECT_EQ(kept.timeoutIntervalForResource, 90.0);
  EXPECT_TRUE(kept.allowsCellularAccess);  // nothing here has cellular access to decide
  EXPECT_EQ(VRDURLSession::newDefaultDelegateQueue()->maxConcurrentOperationCount(), 1u);
}

}  // namespace
}  // namespace crashreporting::test
