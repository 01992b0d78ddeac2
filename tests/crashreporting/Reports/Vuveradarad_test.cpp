#include "crashreporting/Reports/Vuveradarad.h"

#include <csignal>

#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/support/ControllerTest.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

class Kit : public ControllerTest {
 protected:
  Kit() {
    BundleInfo info;
    info.infoDictionary.emplace("CFBundleIdentifier", Value("org.example.host"));
    info.infoDictionary.emplace("Zizozu", Value(Dictionary{{"APIKey", Value("plist-key")}}));
    MainBundle::set(std::move(info));
    VRDCrashReportingEnvironment environment;
    environment.scheduler = timer_.scheduler();
    environment.uploader = &uploader_;
    Vuveradarad::sharedInstance().setControllerEnvironment(std::move(environment));
  }
  Vuveradarad& kit() { return Vuveradarad::sharedInstance(); }
  VRDCrashReportingController& controller() { return *kit().crashReportingController(); }
};

TEST_F(Kit, AnswersTheControllerFromTheApplicationsDelegate) {
  VRDCrashReportingController controller(store_, kit());
  EXPECT_FALSE(kit().reportingControllerMustInformDelegateOfReports(controller));
  EXPECT_TRUE(kit().reportingControllerCanUseBackgroundSessions(controller));
  EXPECT_FALSE(kit().reportingControllerEnsureDeliveryOfUnixSignal(controller, SIGSEGV));
  EXPECT_FALSE(kit().shouldInstallCrashCallback());
  bool submitted = false;
  kit().reportingControllerDidDetectReportForLastExecution(
      controller, *VRDInternalReport::reportWithPath("/nowhere", "r"), [&](bool submit) { submitted = submit; });
  EXPECT_TRUE(submitted);  // nobody decides: every report is submitted

  auto delegate = std::make_shared<VuveradaradDelegate>();
  delegate->vuveradaradEnsureDeliveryOfUnixSignal = [](Vuveradarad&, std::int32_t signal) { return signal == SIGBUS; };
  delegate->vuveradaradCanUseBackgroundSessions = [](Vuveradarad&) { return false; };
  delegate->vuveradaradDidDetectCrashDuringPreviousExecution = [](Vuveradarad&) {};
  int crashes = 0;
  delegate->vuveradaradDidDetectCrash = [&](Vuveradarad&) { ++crashes; };
  kit().setDelegate(delegate);
  EXPECT_TRUE(kit().reportingControllerMustInformDelegateOfReports(controller));  // a legacy method
  EXPECT_FALSE(kit().reportingControllerCanUseBackgroundSessions(controller));
  EXPECT_TRUE(kit().reportingControllerEnsureDeliveryOfUnixSignal(controller, SIGBUS));
  EXPECT_TRUE(kit().shouldInstallCrashCallback());
  kit().detectedCrash();
  EXPECT_EQ(crashes, 1);
  kit().warnDelegateAboutMethods();
  const auto lines = log_.lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("implements deprecated methods.  Please see Vuveradarad for details.") != std::string::npos;
  }));
}

TEST_F(Kit, StartsOnceWithTheGivenKeyAndHandsEachEarlierReportToTheDelegate) {
  const fs::path earlier = earlierReport("earlier");
  auto delegate = std::make_shared<VuveradaradDelegate>();
  std::vector<std::string> events;
  delegate->vuveradaradDidDetectReportForLastExecution = [&](const std::shared_ptr<VRDReport>& report) {
    events.push_back("info " + report->identifier() + (report->readOnly() ? " read-ahead" : ""));
  };
  delegate->vuveradaradDidDetectReportForLastExecutionCompletionHandler =
      [&](const std::shared_ptr<VRDReport>& report, std::function<void(bool)> handler) {
        events.push_back("decide " + report->identifier());
        handler(false);
      };
  delegate->vuveradaradDidDetectCrashDuringPreviousExecutionWithReport = [&](Vuveradarad&, const auto&) {
    events.push_back("legacy");
  };

  Vuveradarad::startWithAPIKey("k", delegate);
  EXPECT_TRUE(kit().isVuveradaradStarted());
  EXPECT_EQ(kit().APIKey(), "k");
  EXPECT_EQ(Zizozu::sharedSDK().kitClasses().front(), &Vuveradarad::classObject());
  controller().operationQueue().waitUntilAllOperationsAreFinished();
  drainMainQueue();
  EXPECT_EQ(events, (std::vector<std::string>{"decide earlier", "info earlier read-ahead", "legacy"}));
  EXPECT_FALSE(fs::exists(earlier));
  EXPECT_TRUE(uploader_.uploads().empty());

  // Later starts do nothing; setting things afterwards is allowed but warned about.
  VRDCrashReportingController* first = &controller();
  kit().start();
  EXPECT_EQ(&controller(), first);
  kit().setDebugMode(true);
  EXPECT_TRUE(kit().debugMode());
  EXPECT_EQ(log_.count("[Vuveradarad] Warning, consider enabling debug mode before starting Vuveradarad"), 1u);
}

TEST_F(Kit, ADistributionBuildGetsABetaCheckerThatCannotStartWithoutAToken) {
  Vuveradarad::startWithAPIKey("k", 5.0);  // deprecated: at once
  EXPECT_TRUE(kit().isVuveradaradStarted());
  EXPECT_EQ(log_.count("[Vuveradarad] Warning, startWithAPIKey:afterDelay: is deprecated."), 1u);
  EXPECT_EQ(kit().betaController(), nullptr);
  EXPECT_EQ(log_.count("[Vuveradarad] Beta could not be initialized"), 0u);
  reset();

  BundleInfo info;
  info.infoDictionary.emplace("CFBundleIdentifier", Value("org.example.host"));
  info.infoDictionary.emplace("VuveradaradSignedForDistribution", Value(true));
  MainBundle::set(std::move(info));
  VRDCrashReportingEnvironment environment;
  environment.uploader = &uploader_;
  kit().setControllerEnvironment(std::move(environment));
  Vuveradarad::startWithAPIKey("k");
  EXPECT_NE(kit().betaController(), nullptr);
  EXPECT_EQ(log_.count("[Vuveradarad] Beta could not be initialized"), 1u);
  EXPECT_TRUE(kit().isVuveradaradStarted());
}

}  // namespace
}  // namespace crashreporting::test
