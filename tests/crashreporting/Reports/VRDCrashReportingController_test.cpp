#include "crashreporting/Reports/VRDCrashReportingController.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fstream>
#include <random>

#include "crashreporting/Capture/VRDMachException.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/VRDReport.h"
#include "crashreporting/platform/NotificationCenter.h"
#include "crashreporting/platform/SystemLog.h"
#include "crashreporting/support/Awaiter.h"
#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ControllerTest.h"
#include "crashreporting/support/Package.h"
#include "support/TestEnvironment.h"

namespace crashreporting::test {
namespace {

using tilvane::test::occurrences;

namespace fs = std::filesystem;
using std::chrono::seconds;

/// A whole package of one text part, in prepared, named by its boundary.
fs::path writePackage(const VRDFileManager& store, const std::string& boundary) {
  const fs::path path = fs::path(store.preparedPath()) / (boundary + ".multipartmime");
  FileOutputStream stream(path.string());
  ZIZMultipartMimeStreamEncoder encoder(stream, boundary);
  encoder.encode([](ZIZMultipartMimeStreamEncoder& parts) {
    parts.addValue(Value("k"), "api_key");
    const std::string record = R"({"signal":{"time":3}})" "\n";
    parts.addFileData(std::span(reinterpret_cast<const std::uint8_t*>(record.data()), record.size()), "notes.txt",
                      std::string("text/plain"), "notes.txt");
  });
  return path;
}

/// The crash kit as the controller sees it; the answers are the test's to choose.
class FakeKit : public VRDCrashReportingControllerDelegate {
 public:
  bool shouldInstallCrashCallback() override { return false; }
  void detectedCrash() noexcept override {}
  bool reportingControllerCanUseBackgroundSessions(VRDCrashReportingController&) override { return false; }
  bool reportingControllerMustInformDelegateOfReports(VRDCrashReportingController&) override { return decides; }
  void reportingControllerDidDetectReportForLastExecution(VRDCrashReportingController&, const VRDInternalReport& report,
                                                          SubmitHandler handler) override {
    asked.push_back(report.identifier());
    if (answer) answer(report, handler);
    else handler(true);
  }
  void reportingControllerInternalDidDetectReportForLastExecution(VRDCrashReportingController&,
                                                                  const VRDInternalReport& report) override {
    detected.push_back(report.identifier());
  }
  bool reportingControllerEnsureDeliveryOfUnixSignal(VRDCrashReportingController&, std::int32_t signal) override {
    return delivered.count(signal) != 0;
  }
  std::optional<std::string> APIKeyForCrashReportingController(VRDCrashReportingController&) override { return "k"; }
  std::string installIDForCrashReportingController(VRDCrashReportingController&) override { return "install"; }
  bool isFirstInstallForCrashReportingController(VRDCrashReportingController&) override { return false; }
  VRDSettings settingsForCrashReportingController(VRDCrashReportingController&) override {
    return VRDSettings(settings);
  }

  bool decides = false;
  std::function<void(const VRDInternalReport&, const SubmitHandler&)> answer;
  std::vector<std::string> asked;
  std::vector<std::string> detected;
  std::set<int> delivered;
  Dictionary settings;
};

/// A prompt whose user presses the button the test names.
class ScriptedPrompt : public VRDSendPrompt {
 public:
  explicit ScriptedPrompt(std::size_t button) : button_(button) {}
  std::size_t runModal(const VRDSendPromptAlert& alert) override {
    shown.push_back(alert);
    return button_;
  }
  std::vector<VRDSendPromptAlert> shown;

 private:
  std::size_t button_;
};

class Controller : public ControllerTest {
 protected:
  std::unique_ptr<VRDCrashReportingController> make() {
    return std::make_unique<VRDCrashReportingController>(
        store_, kit_, VRDCrashReportingEnvironment{timer_.scheduler(), &uploader_});
  }
  /// Starts a controller and waits until its work queue is idle.
  bool start(VRDCrashReportingController& controller) {
    const bool started = controller.startWithProfilingMark(VRDProfileMark(), std::nullopt);
    controller.operationQueue().waitUntilAllOperationsAreFinished();
    return started;
  }
  void settle(VRDCrashReportingController& controller) {
    drainMainQueue();
    controller.operationQueue().waitUntilAllOperationsAreFinished();
    drainMainQueue();
  }
  Dictionary internalKeys() {
    VRDContextLoggingQueue().sync([] {});
    const auto current = store_.activePathContents();
    const auto self = std::find_if(current.begin(), current.end(), [](const std::string& path) {
      return fs::exists(fs::path(path) / "metadata.vrdrecord") && !fs::exists(fs::path(path) / "signal.vrdrecord");
    });
    if (self == current.end()) return {};
    const VRDReport report(*VRDInternalReport::reportWithPath(*self));
    const auto storage = report.internalKVStorage();
    return VRDUserLoggingReadKeyValues(storage.incrementalPath, storage.compactedPath, true);
  }
  static std::string text(const Dictionary& keys, const char* key) {
    const auto found = keys.find(key);
    return found == keys.end() || !found->second.get<std::string>() ? "(none)" : *found->second.get<std::string>();
  }
  void enablePrompt() { kit_.settings = {{"features", Value(Dictionary{{"prompt_enabled", Value(true)}})}}; }

  FakeKit kit_;
};

TEST_F(Controller, StartsTheRunWithFoldersMarkerAndTimingValuesAndRemovesTheMarkerAtTheFirstMainTurn) {
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  for (const auto& path : {store_.activePath(), store_.processingPath(), store_.preparedPath()}) {
    EXPECT_TRUE(fs::is_directory(path)) << path;
  }
  ASSERT_EQ(store_.activePathContents().size(), 1u);
  EXPECT_EQ(fs::path(store_.activePathContents()[0]).filename(), Zizozu::sharedSDK().executionIdentifier());
  EXPECT_TRUE(controller->launchFailureMarkerPresent());
  Dictionary keys = internalKeys();
  EXPECT_EQ(text(keys, VRDInternalKeyInBackground), "0");
  EXPECT_GE(std::stod(text(keys, VRDInternalKeyKitStartTime)), 0.0);
  EXPECT_EQ(text(keys, VRDInternalKeyFirstRunLoopTime), "(none)");

  drainMainQueue();
  EXPECT_FALSE(controller->launchFailureMarkerPresent());
  keys = internalKeys();
  EXPECT_GE(std::stod(text(keys, VRDInternalKeyFirstRunLoopTime)), 0.0);

  // Activity changes that the host posts are recorded.
  NotificationCenter::defaultCenter().postNotificationName(VRDApplicationDidResignActiveNotification);
  EXPECT_EQ(text(internalKeys(), VRDInternalKeyInBackground), "1");
  NotificationCenter::defaultCenter().postNotificationName(VRDApplicationWillBecomeActiveNotification);
  EXPECT_EQ(text(internalKeys(), VRDInternalKeyInBackground), "0");
}

TEST_F(Controller, RefusesToStartWithoutBundleIdentifierAndEmptiesTheStoreWhenReportingIsOff) {
  MainBundle::clear();
  EXPECT_FALSE(make()->startWithProfilingMark(VRDProfileMark(), std::nullopt));
  EXPECT_NE(log_.count("[Vuveradarad] An application must have a valid bundle idenifier in its Info.plist"), 0u);

  BundleInfo info;
  info.infoDictionary.emplace("CFBundleIdentifier", Value("org.example.host"));
  MainBundle::set(std::move(info));
  earlierReport("old");
  ASSERT_TRUE(store_.prepareForNewLaunch());
  std::ofstream(fs::path(store_.preparedPath()) / "p.multipartmime") << "x";
  kit_.settings = {{"features", Value(Dictionary{{"collect_reports", Value(false)}})}};
  auto controller = make();
  EXPECT_FALSE(start(*controller));
  EXPECT_NE(log_.count("[Vuveradarad:Crash] Reporting is disabled"), 0u);
  EXPECT_TRUE(store_.activePathContents().empty());
  EXPECT_TRUE(store_.preparedPathContents().empty());
  EXPECT_FALSE(controller->launchFailureMarkerPresent());
  EXPECT_TRUE(uploader_.uploads().empty());
}

TEST_F(Controller, TriagesEarlierReportsThroughTheDelegate) {
  const fs::path empty = earlierReport("nothing", false);
  const fs::path declined = earlierReport("declined");
  const fs::path accepted = earlierReport("accepted");
  kit_.decides = true;
  kit_.answer = [](const VRDInternalReport& report, const auto& handler) {
    handler(report.identifier() == "accepted");
    handler(true);  // a second answer is ignored
  };
  auto controller = make();
  ASSERT_TRUE(start(*controller));

  EXPECT_EQ(kit_.detected, (std::vector<std::string>{"accepted", "declined"}));
  EXPECT_EQ(kit_.asked, kit_.detected);
  EXPECT_FALSE(fs::exists(empty));
  EXPECT_FALSE(fs::exists(declined));
  EXPECT_FALSE(fs::exists(accepted));
  const auto uploads = uploader_.uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_FALSE(uploads[0].synchronously);
  EXPECT_EQ(store_.preparedPathContents(), std::vector<std::string>{uploads[0].path});
  EXPECT_EQ(store_.activePathContents().size(), 1u);  // this run's folder
}

TEST_F(Controller, AfterACrashAtStartEarlierReportsAreUploadedBeforeStartUpReturns) {
  earlierReport("crashed");
  ASSERT_TRUE(store_.prepareForNewLaunch());
  auto controller = make();
  ASSERT_TRUE(controller->createLaunchFailureMarker());
  ASSERT_TRUE(controller->startWithProfilingMark(VRDProfileMark(), std::nullopt));
  const auto uploads = uploader_.uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_TRUE(uploads[0].synchronously);
  EXPECT_TRUE(kit_.asked.empty());

  // With a deciding delegate the same report is not urgent: the delegate is asked first.
}

TEST_F(Controller, ADecidingDelegateOrAPromptMakesNoReportUrgent) {
  earlierReport("crashed");
  ASSERT_TRUE(store_.prepareForNewLaunch());
  kit_.decides = true;
  auto controller = make();
  ASSERT_TRUE(controller->createLaunchFailureMarker());
  ASSERT_TRUE(start(*controller));
  ASSERT_EQ(uploader_.uploads().size(), 1u);
  EXPECT_FALSE(uploader_.uploads()[0].synchronously);
  EXPECT_EQ(kit_.asked, std::vector<std::string>{"crashed"});
}

/// Reports answered by the delegate one at a time, each when the test says.
class PromptedController : public Controller {
 protected:
  PromptedController() {
    enablePrompt();
    kit_.decides = true;
    kit_.answer = [this](const VRDInternalReport&, const auto& handler) { handlers_.push_back(handler); };
  }
  /// The delegate says "submit" to the next report; then the queues run until all is done.
  void answerNext(VRDCrashReportingController& controller) {
    handlers_.at(next_++)(true);
    settle(controller);
    settle(controller);
  }
  std::vector<VRDCrashReportingControllerDelegate::SubmitHandler> handlers_;
  std::size_t next_ = 0;
};

TEST_F(PromptedController, DontSendRemovesThisAndEveryLaterReportWithoutAskingAgain) {
  const fs::path first = earlierReport("a");
  const fs::path second = earlierReport("b");
  auto prompt = std::make_shared<ScriptedPrompt>(2);
  VRDSendPrompt::registerPrompt(prompt);
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  answerNext(*controller);
  ASSERT_EQ(prompt->shown.size(), 1u);
  EXPECT_EQ(prompt->shown[0].messageText, "Send Crash Report?");
  EXPECT_EQ(prompt->shown[0].buttons, (std::vector<std::string>{"Send", "Always Send", "Don't Send"}));
  EXPECT_EQ(controller->promptChoice(), VRDCrashReportingController::dontSend);
  EXPECT_FALSE(fs::exists(first));
  EXPECT_TRUE(fs::exists(second));

  answerNext(*controller);
  EXPECT_EQ(prompt->shown.size(), 1u);
  EXPECT_FALSE(fs::exists(second));
  EXPECT_TRUE(uploader_.uploads().empty());
}

TEST_F(PromptedController, SendAndAlwaysSendSendEveryLaterReportWithoutAsking) {
  for (const std::size_t button : {0u, 1u}) {
    earlierReport("a" + std::to_string(button));
    earlierReport("b" + std::to_string(button));
    auto prompt = std::make_shared<ScriptedPrompt>(button);
    VRDSendPrompt::registerPrompt(prompt);
    auto controller = make();
    ASSERT_TRUE(start(*controller));
    answerNext(*controller);
    answerNext(*controller);
    EXPECT_EQ(prompt->shown.size(), 1u);
    EXPECT_EQ(controller->promptChoice(),
              button == 0 ? VRDCrashReportingController::send : VRDCrashReportingController::alwaysSend);
    EXPECT_EQ(uploader_.uploads().size(), 2u * (button + 1));
    controller.reset();
    VRDContextResetForTesting();
    for (const auto& path : store_.activePathContents()) fs::remove_all(path);
    for (const auto& path : store_.preparedPathContents()) fs::remove_all(path);
  }
}

TEST_F(PromptedController, TheChoiceIsSharedSafelyBetweenTheMainAndTheWorkQueue) {
  // The main queue on a thread of its own reads the choice while the work queue writes it.
  for (int i = 0; i < 20; ++i) earlierReport("r" + std::to_string(100 + i));
  auto prompt = std::make_shared<ScriptedPrompt>(0);
  VRDSendPrompt::registerPrompt(prompt);
  ProcessShared::resetAll();  // a main queue that runs on its own thread
  setBundle();
  VRDSendPrompt::registerPrompt(prompt);
  auto controller = make();
  ASSERT_TRUE(controller->startWithProfilingMark(VRDProfileMark(), std::nullopt));
  for (auto& handler : handlers_) handler(true);
  ASSERT_TRUE(eventually([&] { return uploader_.uploads().size() == 20; }));
  EXPECT_GE(prompt->shown.size(), 1u);
  EXPECT_EQ(controller->promptChoice(), VRDCrashReportingController::send);
}

TEST_F(Controller, WithoutAlwaysSendTitleTheSecondButtonDeclines) {
  kit_.settings = {{"features", Value(Dictionary{{"prompt_enabled", Value(true)}})},
                   {"prompt", Value(Dictionary{{"always_send_button_title", Value("")}})}};
  const fs::path report = earlierReport("a");
  auto prompt = std::make_shared<ScriptedPrompt>(1);
  VRDSendPrompt::registerPrompt(prompt);
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  settle(*controller);
  ASSERT_EQ(prompt->shown.size(), 1u);
  EXPECT_EQ(prompt->shown[0].buttons.size(), 2u);
  EXPECT_EQ(controller->promptChoice(), VRDCrashReportingController::dontSend);
  EXPECT_FALSE(fs::exists(report));
}

TEST_F(Controller, WithoutARegisteredPromptReportsAreSentWithoutAskingAndThatIsLoggedOnce) {
  enablePrompt();
  earlierReport("a");
  earlierReport("b");
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  settle(*controller);
  EXPECT_EQ(uploader_.uploads().size(), 2u);
  EXPECT_EQ(controller->promptChoice(), VRDCrashReportingController::notAsked);
  EXPECT_EQ(log_.count("[Vuveradarad:Crash] No send prompt is registered by the application: reports are sent "
                       "without asking"),
            1u);
}

TEST_F(Controller, ResumesReportsLeftInProcessingAndPackagesLeftInPrepared) {
  ASSERT_TRUE(store_.prepareForNewLaunch());
  const fs::path half = earlierReport("half");
  ASSERT_TRUE(store_.moveItemAtPath(half.string(), store_.processingPath()));
  const fs::path package = writePackage(store_, "left");
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  const auto uploads = uploader_.uploads();
  ASSERT_EQ(uploads.size(), 2u);
  EXPECT_TRUE(store_.processingPathContents().empty());
  EXPECT_EQ(fs::path(uploads[0].path).parent_path(), fs::path(store_.preparedPath()));
  EXPECT_EQ(uploads[1].path, package.string());
  EXPECT_FALSE(uploads[1].synchronously);
  EXPECT_TRUE(kit_.asked.empty());
}

TEST_F(Controller, AReportTriagedDuringStartUpIsUploadedOnceEvenWhenItsPackageIsReadyBeforeTheListings) {
  earlierReport("quick");
  kit_.answer = [this](const VRDInternalReport&, const auto& handler) {
    handler(true);
    // The work queue packages and hands it over while start-up is still going on.
    ASSERT_TRUE(eventually([&] { return uploader_.uploads().size() == 1; }, 20.0));
  };
  kit_.decides = true;
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  EXPECT_EQ(uploader_.uploads().size(), 1u);
}

TEST_F(Controller, AFailedUploadIsRetriedAfter600SecondsUntilItSucceeds) {
  earlierReport("a");
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  ASSERT_EQ(uploader_.uploads().size(), 1u);
  const std::string package = uploader_.uploads()[0].path;
  controller->networkClientDidFinishUploadWithPath(controller->networkClient(), package, Error{"ZIZNetworkError", -6, {}, {}});
  EXPECT_TRUE(fs::exists(package));
  ASSERT_EQ(timer_.fire(seconds(600)), 1);
  controller->operationQueue().waitUntilAllOperationsAreFinished();
  ASSERT_EQ(uploader_.uploads().size(), 2u);
  EXPECT_EQ(uploader_.uploads()[1].path, package);
  EXPECT_FALSE(uploader_.uploads()[1].synchronously);

  // The successful end of the last upload: the reports controller is let go of, and a later use makes another.
  Zizozu::sharedSDK().setDebug(true);
  const SystemLog::Capture log;
  const auto used = controller->reportsController();
  controller->networkClientDidFinishUploadWithPath(controller->networkClient(), package, std::nullopt);
  controller->operationQueue().waitUntilAllOperationsAreFinished();
  Zizozu::sharedSDK().setDebug(false);
  EXPECT_FALSE(fs::exists(package));
  EXPECT_EQ(timer_.fire(seconds(600)), 0);
  EXPECT_EQ(log.count("[Vuveradarad:Crash] report submission complete"), 1u);
  EXPECT_NE(controller->reportsController(), used);
}

TEST_F(Controller, TheLastChanceSubmitsACopyOfThisRunsOnlyReportAtOnce) {
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  ASSERT_EQ(store_.activePathContents().size(), 1u);
  const fs::path current = store_.activePathContents()[0];
  std::ofstream(current / "signal.vrdrecord") << R"({"signal":{"time":3}})" "\n";
  // Its lines go to this run's own log.
  const auto logged = [&](const std::string& line) { return occurrences(readText(current / "sdk.log"), line); };

  // A second folder in active: which one crashed is unclear, so nothing is sent.
  const fs::path other = earlierReport("other");
  EXPECT_FALSE(controller->attemptCurrentReportSubmission());
  EXPECT_TRUE(uploader_.uploads().empty());
  EXPECT_FALSE(fs::exists(current.string() + "-submit"));
  EXPECT_EQ(logged("] Attempting to submit the current report\n"), 1u);
  EXPECT_EQ(logged("] More than one directory in active - cannot submit\n"), 1u);
  fs::remove_all(other);

  // A copy that cannot be made (a pipe in the folder is no file to copy): nothing is sent either.
  ASSERT_EQ(mkfifo((current / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(controller->attemptCurrentReportSubmission());
  EXPECT_EQ(logged("] Error: unable to copy report for submission\n"), 1u);
  EXPECT_TRUE(uploader_.uploads().empty());
  fs::remove(current / "pipe");
  fs::remove_all(current.string() + "-submit");

  EXPECT_EQ(logged("] Attempting submission\n"), 0u);
  controller->potentiallySubmittableCrashOccurred();
  EXPECT_EQ(logged("] Attempting submission\n"), 1u);
  const auto uploads = uploader_.uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_TRUE(uploads[0].synchronously);
  EXPECT_EQ(fs::path(uploads[0].path).parent_path(), fs::path(store_.preparedPath()));
  EXPECT_TRUE(fs::exists(current / "signal.vrdrecord")) << "the crash capture goes on writing the original";
  EXPECT_FALSE(fs::exists(current.string() + "-submit"));
}

TEST_F(Controller, TheTwoSecondCheckWarnsOfAPromptNobodyImplements) {
  enablePrompt();
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  EXPECT_EQ(timer_.delays(), std::vector<std::chrono::nanoseconds>{seconds(2)});
  const std::string warning =
      "[Vuveradarad:Crash] WARNING: the user prompt feature is enabled. As of Vuveradarad 3.0.0, implementing a user "
      "prompt is the application's responsibility. See Vuveradarad's notes about "
      "-vuveradaradDidDetectReportForLastExecution:completionHandler:";
  timer_.fire(seconds(2));
  EXPECT_EQ(log_.count(warning), 0u);  // it runs on the main queue
  drainMainQueue();
  EXPECT_EQ(log_.count(warning), 1u);
}

TEST_F(Controller, SignalsTheDelegateWantsDeliveredLeaveTheirExceptionKindsUnclaimed) {
  auto controller = make();
  EXPECT_EQ(controller->machExceptionMask(), 0u);
  kit_.delivered = {SIGSEGV, SIGTRAP};
  EXPECT_EQ(controller->machExceptionMask(), VRDMachExceptionMaskBadAccess | VRDMachExceptionMaskBreakpoint);
}

TEST_F(Controller, WorkScheduledForLaterDoesNothingOnceTheControllerHasGone) {
  earlierReport("a");
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  controller->networkClientDidFinishUploadWithPath(controller->networkClient(), uploader_.uploads()[0].path, Error{"d", 1, {}, {}});
  controller.reset();
  EXPECT_EQ(timer_.fire(seconds(600)), 1);
  EXPECT_EQ(timer_.fire(seconds(2)), 1);
  drainMainQueue();
}

/// Writes past `bytes` fail for every file of this process while it lives, as they would on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = SIG_DFL;
};

/// The crash kit's side of a report's processing, without a controller.
class PipelineDelegate : public VRDReportsControllerDelegate {
 public:
  VRDSettings settingsForReportsController(VRDReportsController&) override { return VRDSettings(); }
  std::optional<std::string> bundleIdentifierForReportsController(VRDReportsController&) override { return "b"; }
  std::optional<std::string> APIKeyForReportsController(VRDReportsController&) override { return "k"; }
  void reportsControllerDidCompletePackageSubmission(VRDReportsController&, const std::string&,
                                                     const std::optional<Error>&) override {}
  void reportsControllerDidCompleteAllSubmissions(VRDReportsController&) override {}
};

TEST_F(Controller, AReportCutShortByAFullDiskIsSymbolicatedAgainAndSentWholeByTheNextStart) {
  const fs::path folder = earlierReport("earlier", false);
  std::ofstream(folder / "binary_images.vrdrecord") << R"({"load":{"base":4096,"size":4096}})" "\n";
  std::ofstream(folder / "signal.vrdrecord") << R"({"signal":{"time":3}})" "\n"
                                             << R"({"threads":[{"stacktrace":[4100,4200,9]},{"stacktrace":[4101]}]})"
                                                "\n";
  fs::create_directories(store_.processingPath());
  fs::create_directories(store_.preparedPath());
  {
    // An earlier run processed the report on a full disk.
    PipelineDelegate delegate;
    VRDReportsController reports(delegate, &uploader_, store_);
    auto report = VRDInternalReport::reportWithPath(folder.string());
    ASSERT_TRUE(report);
    const FileSizeLimit full(64);
    EXPECT_FALSE(reports.prepareAndSubmitReport(*report, false, true));
  }
  EXPECT_TRUE(uploader_.uploads().empty());
  EXPECT_TRUE(store_.preparedPathContents().empty());
  const fs::path kept = fs::path(store_.processingPath()) / "earlier";
  EXPECT_TRUE(fs::exists(kept / "signal.vrdrecord"));
  EXPECT_FALSE(fs::exists(kept / "signal.vrdrecord.symbolicated"));
  EXPECT_EQ(log_.count("[Vuveradarad:Crash:Reports] Could not write the symbolicated copy of signal.vrdrecord of "
                       "report 'earlier' (is the disk full?): the report is kept in processing for the next launch"),
            1u);

  // The next start, with room again.
  auto controller = make();
  ASSERT_TRUE(start(*controller));
  settle(*controller);
  ASSERT_EQ(uploader_.uploads().size(), 1u);
  const std::string package = uploader_.uploads()[0].path;
  std::optional<std::string> symbolicated;
  std::vector<std::string> parts;
  for (const PackagePart& part : parsePackage(readText(package), fs::path(package).stem().string())) {
    parts.push_back(part.name);
    if (part.name == "signal.vrdrecord.symbolicated") symbolicated = gunzip(part.body);
  }
  ASSERT_TRUE(symbolicated) << ::testing::PrintToString(parts) << "\n" << ::testing::PrintToString(log_.lines());
  const auto threads = nlohmann::json::parse(*symbolicated)["threads"];
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads[0].size(), 3u);
  EXPECT_EQ(threads[1].size(), 1u);
  EXPECT_FALSE(fs::exists(kept));
}

TEST_F(Controller, DamagedPackagesAreSetAsideWithALineEachAndOnlyTheWholeOneIsSent) {
  fs::create_directories(store_.preparedPath());
  const fs::path good = writePackage(store_, "A-WHOLE");
  const fs::path truncated = writePackage(store_, "B-TRUNCATED");
  fs::resize_file(truncated, fs::file_size(truncated) - 20);
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const fs::path garbled = fs::path(store_.preparedPath()) / "C-RANDOM.multipartmime";
  std::ofstream(garbled, std::ios::binary) << noise;
  const fs::path zeroed = fs::path(store_.preparedPath()) / "D-ZEROED.multipartmime";
  std::ofstream(zeroed, std::ios::binary) << std::string(4096, '\0');

  auto controller = make();
  ASSERT_TRUE(start(*controller));
  settle(*controller);
  ASSERT_EQ(uploader_.uploads().size(), 1u);
  EXPECT_EQ(uploader_.uploads()[0].path, good.string());
  const auto lines = log_.lines();
  for (const fs::path& damaged : {truncated, garbled, zeroed}) {
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
                return line.starts_with("[Vuveradarad:Crash:Reports] Damaged package '" + damaged.string() + "': ");
              }),
              1)
        << damaged;
    EXPECT_FALSE(fs::exists(damaged));
  }
  const auto aside = store_.contentsOfDirectory(store_.damagedPath());
  ASSERT_EQ(aside.size(), 3u);
  EXPECT_TRUE(aside[0].ends_with("B-TRUNCATED.multipartmime") || aside[1].ends_with("B-TRUNCATED.multipartmime") ||
              aside[2].ends_with("B-TRUNCATED.multipartmime"));
}

TEST_F(Controller, NoMoreThanTenDamagedItemsAreKeptTheNewestOnes) {
  fs::create_directories(store_.preparedPath());
  for (int i = 0; i < 12; ++i) {
    const fs::path item = fs::path(store_.preparedPath()) / ("item" + std::to_string(i));
    std::ofstream(item) << i;
    ASSERT_TRUE(store_.setAsideItemAtPath(item.string(), "item" + std::to_string(i)));
  }
  const auto aside = store_.contentsOfDirectory(store_.damagedPath());
  ASSERT_EQ(aside.size(), VRDFileManager::kMaxDamagedItems);
  EXPECT_TRUE(aside.front().ends_with("item2"));
  EXPECT_TRUE(aside.back().ends_with("item11"));
}

}  // namespace
}  // namespace crashreporting::test
