#include "crashreporting/VizuzodKit/VZDVizuzodController.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <future>

#include "crashreporting/Kit/ZIZSettingsOnboardingManager.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/VizuzodKit/VZDFileUtils.h"
#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/VizuzodKit/VZDRavumaAnalyticsBridge.h"
#include "crashreporting/platform/Json.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/NotificationCenter.h"
#include "crashreporting/support/Immutable.h"
#include "crashreporting/support/Awaiter.h"
#include "crashreporting/support/LibraryTest.h"
#include "crashreporting/support/Package.h"
#include "crashreporting/support/VirtualScheduler.h"
#include "support/TestEnvironment.h"
#include "support/http/TestCertificateAuthority.h"
#include "support/http/TestHttpServer.h"

namespace crashreporting {
namespace {

using tilvane::test::occurrences;

using test::eventually;
using tilvane::test::ScriptedReply;

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/// The events log inside a packaged file: its one part, a gzip named after the compressed log.
std::string logInPackage(const std::string& multipart, const std::string& boundary) {
  const auto parts = test::parsePackage(multipart, boundary);
  if (parts.size() != 1 || !parts[0].fileName || *parts[0].fileName != parts[0].name ||
      !parts[0].name.ends_with(".gz")) {
    ADD_FAILURE() << "not one gzip part";
    return {};
  }
  return test::gunzip(parts[0].body).value_or("");
}

class VZDVizuzodControllerTest : public test::LibraryTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(authority_.ok()) << authority_.error();
    ASSERT_TRUE(server_->started()) << server_->error();
    server_->setReply("/spi/v2/events", ScriptedReply::withStatus(200));
    MainBundle::set(BundleInfo{Dictionary{{"CFBundleIdentifier", Value("org/test")},
                                          {"Zizozu", Value(Dictionary{{"APIKey", Value("key-1")}})}},
                               {}});
    Zizozu::sharedSDK();  // an installed application (no install event): the identifier is stored
    ProcessShared::resetAll();
  }
  void TearDown() override {
    if (controller_) drain();
    controller_.reset();
  }

  fs::path root() const { return tempDir() / "analytics"; }
  fs::path events() const { return root() / "events"; }

  void start() {
    auto handler = std::make_shared<VZDNetworkRetryHandler>(Certificate::fromPEM(readAll(authority_.caFile())));
    handler->setScheduler(clock_.scheduler());
    controller_ = VZDVizuzodController::initWithBetaToken(std::nullopt, {root(), handler, clock_.scheduler()});
    drain();
  }
  /// Waits until the event queue has run everything, including what its steps queued.
  void drain() {
    do controller_->eventQueue()->waitUntilAllOperationsAreFinished();
    while (controller_->eventQueue()->operationCount() > 0);
  }
  std::set<fs::path> files(const std::string& extension) const { return VZDFileUtils::filesWithExtension(extension, events()); }
  std::size_t fileCount() const {
    std::error_code ec;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(events(), ec), fs::directory_iterator()));
  }
  /// The logs of every packaged file, in no particular order.
  std::vector<std::string> packagedLogs() const {
    std::vector<std::string> logs;
    for (const auto& file : files("multipartmime")) logs.push_back(logInPackage(readAll(file), file.stem()));
    return logs;
  }
  Dictionary settings(Dictionary analytics, bool collect = true) const {
    analytics.emplace("url", Value(server_->url("/spi/v2/events")));
    return {{"analytics", Value(std::move(analytics))},
            {"features", Value(Dictionary{{"collect_analytics", Value(collect)}})}};
  }
  /// Saves settings as a download would and announces them.
  void deliverSettings(const Dictionary& dictionary) {
    std::string error;
    fs::create_directories(ZIZSettingsOnboardingManager::settingsDirectoryPath());
    std::ofstream(ZIZSettingsOnboardingManager::settingsPath()) << *json::encode(Value(dictionary), error);
    NotificationCenter::defaultCenter().postNotificationName(ZIZSettingsAvailableNotification);
    drain();
  }
  void log(const std::string& name, std::size_t padding = 0) {
    controller_->logEvent(std::make_shared<VZDCustomEvent>(
        name, Dictionary{{"pad", Value(std::string(padding, 'p'))}}));
  }
  void post(const char* notification) { NotificationCenter::defaultCenter().postNotificationName(notification); }

  tilvane::test::TestCertificateAuthority authority_;
  std::unique_ptr<tilvane::test::TestHttpServer> server_ =
      std::make_unique<tilvane::test::TestHttpServer>(authority_.certificateFile(), authority_.keyFile());
  test::VirtualScheduler clock_;
  std::shared_ptr<VZDVizuzodController> controller_;
};

TEST_F(VZDVizuzodControllerTest, BeforeSettingsEventsAreWrittenAndRotatedThenSettingsSendAndDeleteThePackages) {
  start();
  log("first");
  post(kVZDWillTerminateNotification);  // no flush: stays in the current log
  drain();
  EXPECT_NE(readAll(controller_->currentLogURL()).find("app_terminated"), std::string::npos);
  post(kVZDWillResignActiveNotification);  // flushes
  drain();
  ASSERT_EQ(files("multipartmime").size(), 1u);
  EXPECT_EQ(fileCount(), 1u);  // the log and its gz went once packaged
  const std::string sent = packagedLogs().front();
  for (const char* line : {"\tmetadata\t", "\tapp_launched\t", "\"custom_type\":\"first\"", "\tapp_terminated\t",
                           "\tapp_became_inactive\t"})
    EXPECT_EQ(occurrences(sent, line), 1u) << line;
  EXPECT_EQ(server_->requestCount(), 0u);

  const std::string packaged = readAll(*files("multipartmime").begin());
  deliverSettings(settings({}));
  ASSERT_TRUE(server_->waitForRequests(1));
  ASSERT_TRUE(eventually([&] { return files("multipartmime").empty(); }));
  const auto request = server_->requests().front();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.body, packaged);
  EXPECT_EQ(request.header("Content-Length"), std::to_string(packaged.size()));
  EXPECT_EQ(request.header("X-VUVERADARAD-API-KEY"), "key-1");
  EXPECT_EQ(server_->requestCount(), 1u);
}

TEST_F(VZDVizuzodControllerTest, EveryPackageMadeBeforeTheSettingsIsSentWhenTheyArriveInTheSameRun) {
  start();
  // The queue is held while 57 flushes and the settings' arrival are queued: every rotation then packages its
  // log after the settings were taken, as in a burst that meets the first download.
  std::promise<void> release;
  const std::shared_future<void> held = release.get_future().share();
  controller_->eventQueue()->addOperationWithBlock([held] { held.wait(); });
  for (int i = 0; i < 57; ++i) post(kVZDWillResignActiveNotification);
  std::string error;
  fs::create_directories(ZIZSettingsOnboardingManager::settingsDirectoryPath());
  std::ofstream(ZIZSettingsOnboardingManager::settingsPath())
      << *json::encode(Value(settings({{"flush_interval_secs", Value(30)}})), error);
  NotificationCenter::defaultCenter().postNotificationName(ZIZSettingsAvailableNotification);
  release.set_value();
  drain();
  // All of them at once: the virtual clock has not moved, so well within one flush interval.
  ASSERT_TRUE(server_->waitForRequests(57, 60));
  ASSERT_TRUE(eventually([&] { return files("multipartmime").empty(); }));
  EXPECT_EQ(server_->requestCount(), 57u);
  std::set<std::string> bodies;
  for (const auto& request : server_->requests()) bodies.insert(request.body);
  EXPECT_EQ(bodies.size(), 57u);  // each package once
}

TEST_F(VZDVizuzodControllerTest, ALogPastThePayloadSizeRotatesOnTheNextEventAndOneAtItDoesNot) {
  start();
  for (const std::uintmax_t size : {8000u, 8001u}) {
    const fs::path current = controller_->currentLogURL();
    fs::resize_file(current, size);
    log("next");
    drain();
    if (size == 8000u) {
      EXPECT_EQ(controller_->currentLogURL(), current);
      EXPECT_TRUE(files("multipartmime").empty());
      EXPECT_GT(fs::file_size(current), 8000u);
      fs::remove(current);
      log("fresh");  // starts the file again, with its metadata line
      drain();
    } else {
      EXPECT_NE(controller_->currentLogURL(), current);
      ASSERT_EQ(files("multipartmime").size(), 1u);
      const std::string sent = packagedLogs().front();
      ASSERT_GT(sent.size(), 8001u);
      EXPECT_EQ(occurrences(sent.substr(8001), "\"custom_type\":\"next\""), 1u);  // the event lands in the rotated file
    }
  }
}

// Events recorded while the log cannot be opened are kept, up to a bound, and written once it can be; the surplus
// is counted and said.
TEST_F(VZDVizuzodControllerTest, EventsKeptWhileTheLogCannotBeOpenedAreWrittenWhenItCanBe) {
  start();
  const fs::path current = controller_->currentLogURL();
  fs::remove(current);  // a new log is to be made, in a folder where nothing can be
  test::Immutable fixed(events());
  if (!fixed.set()) GTEST_SKIP() << "this file system keeps no immutable flag";
  const std::size_t bound = VZDVizuzodController::kMaxUnwrittenEvents;
  for (std::size_t i = 0; i < bound + 3; ++i) log("kept" + std::to_string(i));
  drain();
  EXPECT_FALSE(fs::exists(current));
  fixed.lift();
  log("after");
  drain();
  const std::string written = readAll(current);
  EXPECT_EQ(occurrences(written, "\"custom_type\":\"kept"), bound);
  EXPECT_EQ(occurrences(written, "\"custom_type\":\"kept" + std::to_string(bound) + "\""), 0u);
  EXPECT_LT(written.find("\"custom_type\":\"kept0\""), written.find("\"custom_type\":\"kept1\""));
  EXPECT_LT(written.find("\"custom_type\":\"kept" + std::to_string(bound - 1) + "\""),
            written.find("\"custom_type\":\"after\""));
  std::size_t keptSaid = 0, droppedSaid = 0;
  for (const auto& line : log_.lines()) {
    keptSaid += line.starts_with("[Vizuzod] The events log cannot be opened now");
    droppedSaid +=
        line == "[Vizuzod] WARNING: 3 events recorded while the events log could not be opened or written were dropped";
  }
  EXPECT_EQ(keptSaid, 1u);
  EXPECT_EQ(droppedSaid, 1u);

  // Kept when no event follows: written at the exit.
  const fs::path next = controller_->currentLogURL();
  log("rotated");  // the log is past the payload size: a new one is begun
  drain();
  ASSERT_NE(controller_->currentLogURL(), next);
  test::Immutable again(events());
  ASSERT_TRUE(again.set());
  log("last");
  drain();
  again.lift();
  EXPECT_TRUE(controller_->finishAtExit(std::chrono::seconds(1)));
  EXPECT_EQ(occurrences(readAll(controller_->currentLogURL()), "\"custom_type\":\"last\""), 1u);
  for (const auto& line : log_.lines()) EXPECT_EQ(line.find("(the process exits)"), std::string::npos) << line;
}

TEST_F(VZDVizuzodControllerTest, ABurstOfEventsIsRotatedAsItGrows) {
  start();
  for (int i = 0; i < 200; ++i) log("burst", 200);
  drain();
  const auto logs = packagedLogs();
  ASSERT_GE(logs.size(), 4u);
  std::size_t lines = 0;
  for (const auto& sent : logs) {
    EXPECT_LT(sent.size(), 8000u + 2 * 400u);  // past the limit by at most the line that crossed it
    lines += occurrences(sent, "\"custom_type\":\"burst\"");
  }
  lines += occurrences(readAll(controller_->currentLogURL()), "\"custom_type\":\"burst\"");
  EXPECT_EQ(lines, 200u);
}

TEST_F(VZDVizuzodControllerTest, SettingsThatSwitchAnalyticsOffEmptyTheFolderAndStopRecording) {
  start();
  log("kept until the settings come");
  post(kVZDDidBecomeActiveNotification);
  log("after");
  drain();
  ASSERT_GT(fileCount(), 0u);
  deliverSettings(settings({}, false));
  EXPECT_EQ(fileCount(), 0u);
  log("dropped");
  post(kVZDWillResignActiveNotification);
  controller_->logCrashEvent(std::make_shared<VZDCrashEvent>(5.0, 0));
  drain();
  EXPECT_EQ(fileCount(), 0u);
  EXPECT_EQ(server_->requestCount(), 0u);
}

TEST_F(VZDVizuzodControllerTest, StartUpKeepsTheNewestHundredPackagesAndTakesUpHalfDoneFiles) {
  fs::create_directories(events());
  const auto now = fs::file_time_type::clock::now();
  for (int i = 0; i < 105; ++i) {
    const fs::path file = events() / ("P" + std::to_string(1000 + i) + ".multipartmime");
    std::ofstream(file) << "x";
    fs::last_write_time(file, now - std::chrono::minutes(200 - i));  // P1000 is the oldest
  }
  std::ofstream(events() / "notes.txt") << "stray";
  // Left half-done: a log with a gz beside it (compressed again from the log), and a gz alone.
  std::ofstream(events() / "half.log") << "1\tcustom\t2\t{}\n";
  std::ofstream(events() / "half.gz") << "cut short";
  gzFile lone = gzopen((events() / "lone.gz").c_str(), "w");
  gzputs(lone, "2\tcustom\t2\t{}\n");
  gzclose(lone);
  start();
  auto kept = files("multipartmime");
  EXPECT_EQ(kept.size(), 102u);
  for (int i = 0; i < 105; ++i) {
    const fs::path old = events() / ("P" + std::to_string(1000 + i) + ".multipartmime");
    EXPECT_EQ(kept.erase(old), i < 5 ? 0u : 1u) << old;
  }
  std::set<std::string> resumed;
  for (const auto& file : kept) resumed.insert(logInPackage(readAll(file), file.stem()));
  EXPECT_EQ(resumed, (std::set<std::string>{"1\tcustom\t2\t{}\n", "2\tcustom\t2\t{}\n"}));
  // The stray file and the half-done files are gone; beside the packages only this run's log is there.
  EXPECT_EQ(fileCount(), 103u);
  EXPECT_EQ(files("log"), std::set<fs::path>{controller_->currentLogURL()});
  EXPECT_EQ(server_->requestCount(), 0u);
}

TEST_F(VZDVizuzodControllerTest, ACrashEventIsSentInAFileOfItsOwnUnderTheCrashedRunsMetadata) {
  fs::create_directories(root());
  std::ofstream(root() / "crash_metadata") << R"({"session_id":"crashed-run"})";
  start();
  post(kVZDWillResignActiveNotification);  // sends the launch: the next event starts a new file
  drain();
  log("before");
  controller_->logCrashEvent(std::make_shared<VZDCrashEvent>(1000.0, 0));
  drain();
  const auto logs = packagedLogs();
  ASSERT_EQ(logs.size(), 3u);
  const auto crash = std::find_if(logs.begin(), logs.end(), [](auto& l) { return occurrences(l, "app_crashed") > 0; });
  ASSERT_NE(crash, logs.end());
  EXPECT_EQ(occurrences(*crash, "\n"), 2u);
  EXPECT_EQ(occurrences(*crash, R"(1000000	metadata	28	{"session_id":"crashed-run"})"), 1u);
  EXPECT_EQ(occurrences(*crash, R"("crash_state":"unknown")"), 1u);
  // The event queued just before the crash stays in a file of this run.
  EXPECT_EQ(std::count_if(logs.begin(), logs.end(), [](auto& l) { return occurrences(l, "\"custom_type\":\"before\"") == 1; }), 1);
  EXPECT_EQ(occurrences(readAll(root() / "crash_metadata"), "crashed-run"), 0u);
}

TEST_F(VZDVizuzodControllerTest, AFailedCompressionKeepsTheLogAndSendsNothing) {
  VZDLogger::sharedLogger().setDebugMode(true);
  start();
  const fs::path current = controller_->currentLogURL();
  log("first");  // the log is there
  drain();
  // A gz twin that cannot be created: nothing can be made in the folder.
  test::Immutable fixed(current.parent_path());
  if (!fixed.set()) GTEST_SKIP() << "this file system keeps no immutable flag";
  post(kVZDWillResignActiveNotification);
  drain();
  fixed.lift();
  ASSERT_TRUE(fs::exists(current));
  EXPECT_EQ(occurrences(readAll(current), "app_became_inactive"), 1u);
  EXPECT_TRUE(files("multipartmime").empty());
  EXPECT_EQ(log_.count("[Vizuzod] Error: attempting to package nonexistent file: " +
                       fs::path(current).replace_extension("gz").string()),
            0u);
  VZDLogger::sharedLogger().setDebugMode(false);
}

// Damage in the events folder is said whatever the debug switch, and set aside once: not tried at every start.
TEST_F(VZDVizuzodControllerTest, DamageInTheEventsFolderIsSaidAtWarningAndSetAsideOnce) {
  const std::vector<std::pair<const char*, std::function<void(const fs::path&)>>> kinds = {
      {"a folder", [](const fs::path& item) { fs::create_directories(item / "inside"); }},
      {"a FIFO", [](const fs::path& item) { ASSERT_EQ(mkfifo(item.c_str(), 0600), 0); }},
      {"a symbolic link", [this](const fs::path& item) { fs::create_directory_symlink(tempDir(), item); }}};
  fs::create_directories(events());
  std::vector<fs::path> damaged;
  for (const auto& [kind, make] : kinds) {
    for (const char* name : {".log", ".gz", ".multipartmime"}) {
      damaged.push_back(events() / ("ITEM" + std::to_string(damaged.size()) + name));
      make(damaged.back());
    }
  }
  start();
  for (const auto& item : damaged) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(item))) << item;
    std::size_t said = 0;
    for (const auto& line : log_.lines()) said += line.starts_with("[Vizuzod] WARNING: damaged '" + item.string() + "'");
    EXPECT_EQ(said, 1u) << item;
  }
  std::error_code ec;
  EXPECT_EQ(std::distance(fs::directory_iterator(root() / "damaged", ec), fs::directory_iterator()), 9);

  drain();
  controller_.reset();
  const std::size_t before = log_.lines().size();
  start();
  const auto lines = log_.lines();
  for (std::size_t i = before; i < lines.size(); ++i) EXPECT_EQ(lines[i].find("WARNING: damaged"), std::string::npos);
}

// At exit an upload on its way is waited for, within the bound, and nothing new is packaged or sent: a package the
// server took is gone before the process ends, and what is left waits for the next start.
TEST_F(VZDVizuzodControllerTest, AnExitWaitsForTheUploadOnItsWayWithinItsBoundAndStartsNone) {
  struct Case {
    double replyDelay;
    bool answered;
  };
  for (const Case c : {Case{0.2, true}, Case{30, false}}) {
    SCOPED_TRACE(c.replyDelay);
    auto reply = ScriptedReply::withStatus(200);
    reply.delay = c.replyDelay;
    server_->setReply("/spi/v2/events", reply);
    const std::size_t requests = server_->requestCount();
    start();
    deliverSettings(settings({}));
    post(kVZDWillResignActiveNotification);  // a package leaves
    ASSERT_TRUE(server_->waitForRequests(requests + 1));
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(controller_->finishAtExit(std::chrono::milliseconds(600)), c.answered);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(900));
    EXPECT_EQ(files("multipartmime").size(), c.answered ? 0u : 1u);
    // Past the payload size and asking for a flush: written, yet neither rotated nor sent.
    log("late", 9000);
    post(kVZDWillResignActiveNotification);
    drain();
    EXPECT_EQ(occurrences(readAll(controller_->currentLogURL()), "\"custom_type\":\"late\""), 1u);
    EXPECT_EQ(occurrences(readAll(controller_->currentLogURL()), "app_became_inactive"), 1u);
    EXPECT_EQ(server_->requestCount(), requests + 1);
    controller_.reset();
    fs::remove_all(root());
  }
}

// A burst of events still queued at the exit keeps neither the answer of the upload under way from being handled
// (its package is deleted ahead of the burst) nor the exit from stopping the packaging queued before it: a package
// the exit cut between being written and its gz's deletion would be sent twice; the gz waits for the next start.
TEST_F(VZDVizuzodControllerTest, AnExitBehindABurstOfEventsHandlesTheAnswerFirstAndPackagesNothingMore) {
  auto reply = ScriptedReply::withStatus(200);
  reply.delay = 0.3;
  server_->setReply("/spi/v2/events", reply);
  start();
  deliverSettings(settings({}));
  post(kVZDWillResignActiveNotification);  // a package leaves
  ASSERT_TRUE(server_->waitForRequests(1));
  const auto sent = files("multipartmime");
  ASSERT_EQ(sent.size(), 1u);
  log("rotated");
  drain();

  const auto queue = controller_->eventQueue();
  std::promise<void> release;
  queue->addOperationWithBlock([this, gate = release.get_future().share()] {
    controller_->rotateAndSubmitCurrentLog();  // its chain is queued behind this step
    gate.wait();
  });
  for (int i = 0; i < 50; ++i) log("burst");
  std::optional<bool> packageThereBehindTheBurst;
  queue->addOperationWithBlock([&] { packageThereBehindTheBurst = fs::exists(*sent.begin()); });
  auto exited =
      std::async(std::launch::async, [this] { return controller_->finishAtExit(std::chrono::seconds(5)); });
  // The session's calls are the queue's only ones of high priority: the answer has come.
  ASSERT_TRUE(eventually([&] {
    const auto operations = queue->operations();
    return std::any_of(operations.begin(), operations.end(), [](const auto& operation) {
      return operation->queuePriority() == Operation::QueuePriority::high;
    });
  }));
  release.set_value();
  EXPECT_TRUE(exited.get());
  drain();
  EXPECT_EQ(packageThereBehindTheBurst, false);
  EXPECT_TRUE(files("multipartmime").empty());
  EXPECT_EQ(files("gz").size(), 1u);
  EXPECT_EQ(server_->requestCount(), 1u);
  EXPECT_EQ(occurrences(readAll(controller_->currentLogURL()), "\"custom_type\":\"burst\""), 50u);
}

// An upload asked for once the exit began (here the retry of a refused one, due after it) is not started: the wait
// for answers would hide it, and the process would end with it on its way.
TEST_F(VZDVizuzodControllerTest, ARetryDueAfterTheExitBeganStartsNoUpload) {
  server_->queueReply("/spi/v2/events", ScriptedReply::withStatus(503));
  VZDLogger::sharedLogger().setDebugMode(true);
  start();
  deliverSettings(settings({}));
  post(kVZDWillResignActiveNotification);
  ASSERT_TRUE(clock_.waitForScheduled(1));  // refused: its retry waits on the back-off clock
  EXPECT_TRUE(controller_->finishAtExit(std::chrono::milliseconds(600)));
  clock_.runNext();
  const auto leftForLater = [&] {
    const auto lines = log_.lines();
    return std::any_of(lines.begin(), lines.end(),
                       [](const std::string& line) { return line.ends_with("' is left for a later start"); });
  };
  EXPECT_TRUE(eventually(leftForLater, 5.0));
  drain();
  VZDLogger::sharedLogger().setDebugMode(false);
  EXPECT_EQ(server_->requestCount(), 1u);
  EXPECT_EQ(files("multipartmime").size(), 1u);  // sent by the next start
}

TEST_F(VZDVizuzodControllerTest, ARefusedUploadIsRetriedOnTheBackOffClockAndARejectedOneIsDropped) {
  server_->queueReply("/spi/v2/events", ScriptedReply::withStatus(503));
  VZDLogger::sharedLogger().setDebugMode(true);
  start();
  deliverSettings(settings({}));
  post(kVZDWillResignActiveNotification);
  ASSERT_TRUE(clock_.waitForScheduled(1));
  EXPECT_EQ(files("multipartmime").size(), 1u);  // waits for its retry
  ASSERT_GE(clock_.delays().front(), 1.8);
  ASSERT_LT(clock_.delays().front(), 2.2);
  clock_.runNext();
  ASSERT_TRUE(server_->waitForRequests(2));
  ASSERT_TRUE(eventually([&] { return files("multipartmime").empty(); }));

  server_->setReply("/spi/v2/events", ScriptedReply::withStatus(400));
  post(kVZDWillResignActiveNotification);
  ASSERT_TRUE(server_->waitForRequests(3));
  ASSERT_TRUE(eventually([&] { return files("multipartmime").empty(); }));
  EXPECT_EQ(clock_.delays().size(), 1u);
  VZDLogger::sharedLogger().setDebugMode(false);

  // What the uploader's delegate said of the three attempts: one retry, two ends, one of them a failure.
  const auto lines = log_.lines();
  const auto starting = [&](const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(prefix); });
  };
  EXPECT_EQ(starting("[Vizuzod] Transmitting packaged events for '"), 2);
  EXPECT_EQ(starting("[Vizuzod] Error transmitting '"), 2);
  EXPECT_EQ(starting("[Vizuzod] Scheduling retry for '"), 1);
  EXPECT_EQ(starting("[Vizuzod] Retrying task with name "), 1);
  EXPECT_EQ(starting("[Vizuzod] Failed to upload '"), 1);
  EXPECT_EQ(starting("[Vizuzod] Finished transmission of '"), 2);
}

TEST_F(VZDVizuzodControllerTest, TheFlushTimerSendsOnlyALogPastThePayloadSize) {
  start();  // the launch line is written under the default limit of 8,000 bytes
  deliverSettings(settings({{"flush_interval_secs", Value(30)}, {"max_byte_size_per_file", Value(100)}}));
  ASSERT_TRUE(controller_->hasFlushTimer());
  clock_.advance(29);
  drain();
  EXPECT_EQ(server_->requestCount(), 0u);
  clock_.advance(1);
  drain();
  ASSERT_TRUE(server_->waitForRequests(1));
  const auto request = server_->requests().front();
  const std::string type = request.header("Content-Type").value_or("");
  const std::string boundary = type.substr(type.find("boundary=") + 9);
  EXPECT_NE(logInPackage(request.body, boundary).find("\tapp_launched\t"), std::string::npos);
  log("small");
  drain();
  fs::resize_file(controller_->currentLogURL(), 100);  // at the limit, not past it
  clock_.advance(30);
  drain();
  EXPECT_TRUE(fs::exists(controller_->currentLogURL()));
  EXPECT_EQ(server_->requestCount(), 1u);
}

TEST_F(VZDVizuzodControllerTest, AFlushIntervalBelowOneSecondIsOneSecondAndZeroMeansNone) {
  struct Case {
    double seconds;
    std::optional<double> tick;  // the flush timer's interval; none: no timer
    bool noted;
  };
  for (const Case& c : {Case{1e-9, 1.0, true}, Case{0.5, 1.0, true}, Case{1.0, 1.0, false}, Case{30, 30.0, false},
                        Case{0, std::nullopt, false}}) {
    SCOPED_TRACE(c.seconds);
    start();
    const std::size_t scheduled = clock_.delays().size();
    deliverSettings(settings({{"flush_interval_secs", Value(c.seconds)}}));
    EXPECT_EQ(controller_->hasFlushTimer(), c.tick.has_value());
    const auto delays = clock_.delays();
    // An idle host's timer wakes once a second at most, however small the interval asked for.
    ASSERT_EQ(delays.size(), scheduled + (c.tick ? 1 : 0));
    if (c.tick) {
      EXPECT_DOUBLE_EQ(delays.back(), *c.tick);
    }
    EXPECT_EQ(log_.count("[Vizuzod] flush_interval_secs " + Value(c.seconds).description() +
                         " is below one second: flushing every second"),
              c.noted ? 1u : 0u);
    TearDown();
    fs::remove_all(ZIZSettingsOnboardingManager::settingsDirectoryPath());
    ProcessShared::resetAll();
  }
}

struct RecordingHost : VZDHostAnalytics {
  void logInternalEventWithOrigin(const std::string&, const std::string& name, const Dictionary&) override {
    const std::lock_guard lock(mutex);
    names.push_back(name);
  }
  std::mutex mutex;
  std::vector<std::string> names;
};

TEST_F(VZDVizuzodControllerTest, SettingsDecideSamplingAndForwardingToTheHostFramework) {
  const auto host = std::make_shared<RecordingHost>();
  VZDHostAnalytics::registerHost(host);
  start();
  // A rate this installation's identifier does not divide: it reports no lifecycle events.
  const std::int32_t hash = VZDEventFilter::javaHashCodeForString(Zizozu::sharedSDK().installID());
  std::int64_t rate = 2;
  while (static_cast<std::int64_t>(hash) % rate == 0) ++rate;
  deliverSettings(settings({{"sampling_rate", Value(rate)}, {"forward_to_host_analytics", Value(true)}}));
  const fs::path current = controller_->currentLogURL();
  post(kVZDDidBecomeActiveNotification);  // sampled out: neither written nor flushed
  controller_->logEvent(VZDPredefinedEvent::purchaseEventWithPrice(1.99, "EUR", true, "hat", "clothes", "h1", std::nullopt));
  controller_->logEvent(VZDPredefinedEvent::searchEventWithQuery("maps", std::nullopt));
  drain();
  EXPECT_EQ(controller_->currentLogURL(), current);
  const std::string written = readAll(current);
  EXPECT_EQ(occurrences(written, "app_became_active"), 0u);
  EXPECT_EQ(occurrences(written, "\"predefined_type\":\"purchase\""), 1u);
  EXPECT_EQ(host->names, std::vector<std::string>{"search"});  // purchases are forwarded only when asked for
  VZDHostAnalytics::registerHost(nullptr);
}

}  // namespace
}  // namespace crashreporting
