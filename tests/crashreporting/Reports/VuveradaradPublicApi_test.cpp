// The crash kit's public interface beyond its start: user information and custom keys, non-fatal errors and
// exceptions, web-page errors, analytics events, the deprecated starts and late settings, the historic
// installation identifier. Each test starts the kit in this process over its own folders.
#include <fstream>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/Reports/Vuveradarad.h"
#include "crashreporting/VizuzodKit/VZDFileUtils.h"
#include "crashreporting/VizuzodKit/VZDLogOperations.h"
#include "crashreporting/VizuzodKit/VZDVizuzodController.h"
#include "crashreporting/VizuzodKit/Vizuzod.h"
#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ControllerTest.h"
#include "crashreporting/support/Package.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

class PublicApi : public ControllerTest {
 protected:
  PublicApi() { prepare(); }

  /// The host bundle, a main queue the test drives, and a controller that neither uploads nor waits.
  void prepare() {
    BundleInfo info;
    info.infoDictionary.emplace("CFBundleIdentifier", Value("org.example.host"));
    info.infoDictionary.emplace("Zizozu", Value(Dictionary{{"APIKey", Value("plist-key")}}));
    MainBundle::set(std::move(info));
    MainExecutor::shared().driveByHost();
    VRDCrashReportingEnvironment environment;
    environment.scheduler = timer_.scheduler();
    environment.uploader = &uploader_;
    kit().setControllerEnvironment(std::move(environment));
  }
  /// As if this process ended and a new one began over the same files.
  void newProcess() {
    VRDContextResetForTesting();
    reset();
    prepare();
  }
  static Vuveradarad& kit() { return Vuveradarad::sharedInstance(); }

  /// Settings as the last download left them, read by the framework when it is made. Analytics are off, so no
  /// upload of theirs outlives the test.
  void writeSettings(const std::string& json) {
    const fs::path folder = tempDir() / "cache" / "org.example.host" / "com.zizozu" / "com.zizozu.sdk.mac.data";
    fs::create_directories(folder);
    auto settings = nlohmann::json::parse(json);
    settings["features"]["collect_analytics"] = false;
    std::ofstream(folder / "settings.json") << settings.dump();
  }
  /// This run's report folder (the only one in active once the kit started with no earlier report).
  fs::path currentReport() const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(store_.activePath())) {
      if (entry.is_directory()) found.push_back(entry.path());
    }
    EXPECT_EQ(found.size(), 1u);
    return found.empty() ? fs::path() : found.front();
  }
  static void waitForWrites() { VRDContextLoggingQueue().sync([] {}); }
  std::vector<nlohmann::json> exceptionLines(const char* file) const {
    std::vector<nlohmann::json> out;
    if (!fs::exists(currentReport() / file)) return out;
    for (auto& line : recordLines(currentReport() / file)) {
      if (line.contains("exception")) out.push_back(line["exception"]);
    }
    return out;
  }
  bool logged(const std::string& line) const { return log_.count(line) > 0; }
};

TEST_F(PublicApi, UserInformationAndCustomKeysOfEveryTypeLandInTheReport) {
  Vuveradarad::startWithAPIKey("k");
  Vuveradarad::setUserIdentifier("u-17");
  kit().setUserName("Ada");  // the instance form is the same call
  Vuveradarad::setUserEmail("ada@example.org");
  Vuveradarad::setDevelopmentPlatformName("Unity");
  Vuveradarad::setDevelopmentPlatformVersion("2022.3");
  Vuveradarad::setObjectValue(Value("blue"), "colour");
  Vuveradarad::setIntValue(-42, "answer");
  Vuveradarad::setBoolValue(true, "premium");
  Vuveradarad::setFloatValue(0.1f, "ratio");
  Vuveradarad::setObjectValue(Value("gone"), "temporary");
  Vuveradarad::setObjectValue(std::nullopt, "temporary");
  EXPECT_EQ(Vuveradarad::developmentPlatformName(), std::nullopt);
  EXPECT_EQ(Vuveradarad::developmentPlatformVersion(), std::nullopt);

  const VRDUserLoggingContext& logging = VRDContextReadOnly()->logging;
  const auto user = VRDUserLoggingGetCompactedKVEntries(&logging.userKVStorage, true);
  ASSERT_TRUE(user);
  EXPECT_EQ(*user, (Dictionary{{"colour", Value("blue")},
                               {"answer", Value("-42")},
                               {"premium", Value("1")},
                               {"ratio", Value("0.1")}}))
      << "values are kept as they print; a removed key is gone";
  const auto internal = VRDUserLoggingGetCompactedKVEntries(&logging.internalKVStorage, true);
  ASSERT_TRUE(internal);
  EXPECT_EQ(internal->at(VRDInternalKeyUserIdentifier), Value("u-17"));
  EXPECT_EQ(internal->at(VRDInternalKeyUserName), Value("Ada"));
  EXPECT_EQ(internal->at(VRDInternalKeyUserEmail), Value("ada@example.org"));
  EXPECT_EQ(internal->at(VRDInternalKeyDevelopmentPlatformName), Value("Unity"));
  EXPECT_EQ(internal->at(VRDInternalKeyDevelopmentPlatformVersion), Value("2022.3"));
  EXPECT_FALSE(user->contains(VRDInternalKeyUserIdentifier)) << "internal keys stay apart from the host's";
  EXPECT_TRUE(logged("[Vuveradarad] developmentPlatformName is write-only"));
  EXPECT_TRUE(logged("[Vuveradarad] developmentPlatformVersion is write-only"));
}

TEST_F(PublicApi, ErrorsAndWebPageErrorsAreRecordedAndOtherScriptMessagesAreNot) {
  Vuveradarad::startWithAPIKey("k");
  kit().recordError(Error{"org.example.io", 7, {}, {}});
  kit().recordError(Error{"org.example.io", 8, {}, {}}, Dictionary{{"file", Value("a.txt")}});
  waitForWrites();
  const auto errors = recordLines(currentReport() / "errors_a.vrdrecord");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0]["error"]["code"], 7);
  EXPECT_EQ(errors[1]["error"]["code"], 8);
  EXPECT_EQ(errors[1]["error"]["extra_info"], nlohmann::json::parse(R"([[")" + hexText("file") + R"(",")" +
                                                                      hexText("a.txt") + R"("]])"));

  WKUserContentController controller;
  kit().userContentController(controller, {"vuveradarad", Value(Dictionary{{"msg", Value("x is not defined")},
                                                                             {"url", Value("https://p/")},
                                                                             {"line", Value(3)}})});
  kit().userContentController(controller, {"vuveradarad", Value("just text")});
  kit().userContentController(controller, {"vuveradarad", Value(Array{Value(1)})});
  waitForWrites();
  const auto recorded = exceptionLines("custom_exception_a.vrdrecord");
  ASSERT_EQ(recorded.size(), 1u) << "only the dictionary is recorded";
  EXPECT_EQ(recorded[0]["type"], "javascript");
  EXPECT_EQ(recorded[0]["name"], hexText("exception"));
  EXPECT_EQ(recorded[0]["reason"], hexText("x is not defined"));
  EXPECT_EQ(log_.count("[Vuveradarad] Unable to record exception from WKWebView"), 2u);
}

TEST_F(PublicApi, CustomExceptionsFollowTheSettingsMaximum) {
  writeSettings(R"({"session":{"max_custom_exception_events":2}})");
  Vuveradarad::startWithAPIKey("k");
  const std::vector<VRDStackFrame> frames = {VRDStackFrame::stackFrameWithSymbol("load()"),
                                             VRDStackFrame::stackFrameWithAddress(0x4000)};
  for (const char* name : {"First", "Second", "Third"}) kit().recordCustomExceptionName(name, "why", frames);
  waitForWrites();
  const auto a = exceptionLines("custom_exception_a.vrdrecord");
  const auto b = exceptionLines("custom_exception_b.vrdrecord");
  ASSERT_EQ(a.size(), 2u);
  ASSERT_EQ(b.size(), 1u) << "the third goes to the B file";
  EXPECT_EQ(a[0]["type"], "custom");
  EXPECT_EQ(a[0]["name"], hexText("First"));
  EXPECT_EQ(a[0]["reason"], hexText("why"));
  EXPECT_EQ(a[0]["frames"].size(), 2u);
  EXPECT_EQ(a[0]["frames"][0]["symbol"], hexText("load()"));
  EXPECT_EQ(b[0]["name"], hexText("Third"));
  EXPECT_FALSE(fs::exists(currentReport() / "exception.vrdrecord")) << "not a crash";
}

TEST_F(PublicApi, NoCustomExceptionIsWrittenWithAMaximumOfZero) {
  writeSettings(R"({"session":{"max_custom_exception_events":0}})");
  Vuveradarad::startWithAPIKey("k");
  kit().recordCustomExceptionName("First", "why", {});
  WKUserContentController controller;
  kit().userContentController(controller, {"vuveradarad", Value(Dictionary{{"msg", Value("boom")}})});
  waitForWrites();
  EXPECT_FALSE(fs::exists(currentReport() / "custom_exception_a.vrdrecord"));
  EXPECT_FALSE(fs::exists(currentReport() / "custom_exception_b.vrdrecord"));
}

TEST_F(PublicApi, DeprecatedDelayedStartsStartAtOnceAndSaySo) {
  Vuveradarad::startWithAPIKey("k1", 30.0);
  EXPECT_TRUE(logged("[Vuveradarad] Warning, startWithAPIKey:afterDelay: is deprecated."));
  EXPECT_TRUE(kit().isVuveradaradStarted()) << "the delay is not used";
  EXPECT_EQ(kit().APIKey(), "k1");

  newProcess();  // so the start can run again
  auto delegate = std::make_shared<VuveradaradDelegate>();
  Vuveradarad::startWithAPIKey("k2", delegate, 30.0);
  EXPECT_TRUE(logged("[Vuveradarad] Warning, startWithAPIKey:delegate:afterDelay: is deprecated."));
  EXPECT_TRUE(kit().isVuveradaradStarted());
  EXPECT_EQ(kit().APIKey(), "k2");
  EXPECT_EQ(kit().delegate(), delegate);
}

TEST_F(PublicApi, LateDelegateAndDebugModeAreWarnedAboutAndDebugModeCanBeTurnedOff) {
  const std::string lateDelegate =
      "[Vuveradarad] Warning, setting delegate after start. Make sure to set the Vuveradarad delegate before calling "
      "startWithAPIKey:.., or +[Zizozu with...] to avoid missing some delegate callbacks.";
  const std::string lateDebug = "[Vuveradarad] Warning, consider enabling debug mode before starting Vuveradarad";
  auto legacy = std::make_shared<VuveradaradDelegate>();
  legacy->vuveradaradDidDetectCrashDuringPreviousExecution = [](Vuveradarad&) {};
  kit().setDelegate(legacy);
  kit().setDebugMode(true);
  EXPECT_TRUE(kit().debugMode());
  EXPECT_FALSE(logged(lateDelegate));
  EXPECT_FALSE(logged(lateDebug));

  Vuveradarad::startWithAPIKey("k");
  const auto deprecatedWarnings = [&] {
    std::size_t count = 0;
    for (const auto& line : log_.lines()) count += line.find("implements deprecated methods.") != line.npos;
    return count;
  };
  EXPECT_EQ(deprecatedWarnings(), 0u) << "the delegate warnings wait for the main queue";
  drainMainQueue();
  EXPECT_EQ(deprecatedWarnings(), 1u);

  kit().setDelegate(std::make_shared<VuveradaradDelegate>());
  EXPECT_EQ(log_.count(lateDelegate), 1u);
  kit().setDebugMode(false);
  EXPECT_FALSE(kit().debugMode());
  EXPECT_FALSE(Zizozu::sharedSDK().debug()) << "debug off, so certificate pinning is on again";
  EXPECT_FALSE(logged(lateDebug)) << "turning debug off is not what the warning is about";
  kit().setDebugMode(true);
  EXPECT_EQ(log_.count(lateDebug), 1u);
}

TEST_F(PublicApi, TheHistoricInstallationIdentifierWinsWhenItsFileHoldsOne) {
  const std::string framework = Zizozu::sharedSDK().installID();
  ASSERT_FALSE(framework.empty());
  const fs::path file = dataHome() / "com.zizozu.vuveradarad" / "VRDUserDefaults.plist";
  EXPECT_EQ(Vuveradarad::historicDefaultsPath(), file);
  EXPECT_EQ(kit().installID(), framework) << "no file";

  fs::create_directories(file);
  EXPECT_EQ(kit().installID(), framework) << "a folder in its place";
  fs::remove(file);

  std::ofstream(file) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>other</key><string>x</string></dict></plist>)";
  EXPECT_EQ(kit().installID(), framework) << "no identifier in it";
  std::ofstream(file) << "not a property list";
  EXPECT_EQ(kit().installID(), framework) << "unreadable";

  std::ofstream(file) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>com.zizozu.vuveradarad.iuuid</key><string>HISTORIC-1</string></dict></plist>)";
  EXPECT_EQ(kit().installID(), "HISTORIC-1");
  VRDCrashReportingController controller(store_, kit());
  EXPECT_EQ(kit().installIDForCrashReportingController(controller), "HISTORIC-1");
}

TEST_F(PublicApi, EventsAndTheEarlierCrashReachTheAnalyticsKit) {
  const fs::path earlier = earlierReport("earlier");
  std::ofstream(earlier / "metadata.vrdrecord")
      << R"({"identity":{"session_id":"earlier","api_key":"k","started_at":1700000000}})" "\n";
  Vuveradarad::startWithAPIKey("k");
  const auto analytics = Vizuzod::sharedInstance().vizuzodController();
  ASSERT_TRUE(analytics) << "the crash kit starts analytics";
  waitForAnalytics();
  Vuveradarad::logEvent("opened", Dictionary{{"from", Value("menu")}});
  kit().logEvent("closed");
  waitForAnalytics();
  std::ifstream in(analytics->currentLogURL());
  const std::string log((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(log.find(R"("custom_type":"opened")"), std::string::npos) << log;
  EXPECT_NE(log.find(R"("custom_attributes":{"from":"menu"})"), std::string::npos) << log;
  EXPECT_NE(log.find(R"("custom_type":"closed")"), std::string::npos) << log;

  // The earlier run crashed: the notice reaches analytics on the main queue, which sends the log on with it.
  const auto packages = [&] { return VZDFileUtils::filesWithExtension("multipartmime", analytics->rootEventDirectory()); };
  // The events of every package, unpacked.
  const auto sentEvents = [&] {
    std::string sent;
    for (const auto& package : packages()) {
      std::ifstream file(package, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(file)), {});
      const std::size_t start = bytes.find("--") + 2;
      const std::string boundary = bytes.substr(start, bytes.find("\r\n", start) - start);
      for (const auto& part : parsePackage(bytes, boundary)) sent += gunzip(part.body).value_or("");
    }
    return sent;
  };
  EXPECT_EQ(sentEvents().find("app_crashed"), std::string::npos) << "not before the main queue ran";
  kit().crashReportingController()->operationQueue().waitUntilAllOperationsAreFinished();
  drainMainQueue();
  waitForAnalytics();
  const std::string sent = sentEvents();
  EXPECT_NE(sent.find("app_crashed"), std::string::npos) << sent;
  EXPECT_NE(sent.find(R"("custom_type":"opened")"), std::string::npos);
}

}  // namespace
}  // namespace crashreporting::test
