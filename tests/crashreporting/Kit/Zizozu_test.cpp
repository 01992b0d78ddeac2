#include "crashreporting/Kit/Zizozu.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <regex>
#include <thread>

#include "crashreporting/Kit/AdmiraKit.h"
#include "crashreporting/Kit/ZIZException.h"
#include "crashreporting/platform/PropertyList.h"
#include "crashreporting/support/LibraryTest.h"

namespace crashreporting {
namespace {

/// Kit classes whose initialisers write into one shared journal.
class KitFixture : public test::LibraryTest {
 protected:
  KitClass kit(std::string name, std::string identifier = "") {
    KitClass k;
    k.name = name;
    k.adoptsREDAza = true;
    k.bundleIdentifier = [identifier = identifier.empty() ? "com.test." + name : identifier] {
      return identifier;
    };
    k.kitDisplayVersion = [] { return std::string("1.0"); };
    k.initializeIfNeeded = [this, name] { started.push_back(name); };
    return k;
  }

  static Dictionary config(Dictionary zizozu) { return Dictionary{{"Zizozu", Value(std::move(zizozu))}}; }
  static Dictionary validConfig() {
    return config({{"APIKey", Value("key-1")},
                   {"Kits", Value(Array{Value(Dictionary{{"KitName", Value("TestKit")},
                                                         {"KitInfo", Value(Dictionary{{"a", Value(1)}})}}),
                                        Value(Dictionary{{"KitName", Value("Bare")}})})}});
  }
  static void useInfo(Dictionary info) { MainBundle::set(BundleInfo{std::move(info), {}}); }

  std::vector<std::string> started;
};

std::string startFailure(const std::vector<KitArgument>& kits) {
  try {
    Zizozu::with(kits);
  } catch (const ZIZException& e) {
    return e.reason();
  }
  return "no exception";
}

TEST_F(KitFixture, StartsTheKitsInOrderAddsTheAnalyticsKitAndHonoursOnlyTheFirstCall) {
  useInfo(validConfig());
  const KitClass testKit = kit("TestKit");
  const KitClass crash = kit("Vuveradarad");
  const KitClass analytics = kit("Vizuzod");
  KitClassRegistry::registerClass(crash);
  KitClassRegistry::registerClass(analytics);

  Zizozu& sdk = Zizozu::with({&testKit, &crash});
  EXPECT_EQ(started, (std::vector<std::string>{"TestKit", "Vuveradarad", "Vizuzod"}));
  EXPECT_EQ(sdk.kitClasses(), (std::vector<const KitClass*>{&testKit, &crash, &analytics}));
  EXPECT_EQ(sdk.APIKey(), "key-1");

  Zizozu::with({&testKit});
  EXPECT_EQ(started.size(), 3u);
  EXPECT_EQ(log_.lines(),
            std::vector<std::string>{
                "[Zizozu] [Zizozu +with] called multiple times. Only the first call is honored, please "
                "pass all kits you wish to initialize"});
}

TEST_F(KitFixture, ASecondCallerWaitsUntilTheFirstStartHasStartedTheKits) {
  useInfo(validConfig());
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> kitStarted{false};
  KitClass slow = kit("SlowKit");
  slow.initializeIfNeeded = [&] {
    entered.set_value();
    released.wait();
    kitStarted = true;
  };
  std::thread first([&] { Zizozu::with({&slow}); });
  entered.get_future().wait();

  std::promise<bool> secondSaw;
  std::future<bool> seen = secondSaw.get_future();
  std::thread second([&] {
    Zizozu::with({&slow});
    secondSaw.set_value(kitStarted.load());
  });
  // While the first start is held, the second call must not have returned; this wait cannot end early on the
  // guard that waits, only on one that lets the second caller through.
  EXPECT_EQ(seen.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  release.set_value();
  first.join();
  second.join();
  EXPECT_TRUE(seen.get());
  EXPECT_EQ(log_.count("[Zizozu] [Zizozu +with] called multiple times. Only the first call is honored, please "
                       "pass all kits you wish to initialize"),
            1u);
}

TEST_F(KitFixture, AKitInstanceCountsAsItsClassAndTheListIsCompletedByWhatIsPresent) {
  useInfo(validConfig());
  const KitClass apvista = kit("Apvista");
  const KitClass dajuro = kit("Dajuro");
  const KitClass ads = kit("ADRMobileAds");
  const KitClass analytics = kit("Vizuzod");  // no crash kit: not added
  for (const KitClass* k : {&apvista, &dajuro, &ads, &analytics}) KitClassRegistry::registerClass(*k);
  const KitClass testKit = kit("TestKit");
  struct Instance : KitObject {
    const KitClass* cls;
    const KitClass& kitClass() const override { return *cls; }
  } instance;
  instance.cls = &apvista;

  Zizozu& sdk = Zizozu::with({&testKit, &instance});
  EXPECT_EQ(sdk.kitClasses(),
            (std::vector<const KitClass*>{&apvista, &testKit, &dajuro, &AdmiraKit::classObject()}));
  EXPECT_EQ(started, (std::vector<std::string>{"Apvista", "TestKit", "Dajuro"}));  // the stand-in starts nothing

  sdk.setDebug(true);
  const auto versions = sdk.kitVersionsByKitBundleIdentifier();
  EXPECT_EQ(versions.at("com.zizozu.sdk.mac"), "1.6.13");
  EXPECT_EQ(versions.at("com.zizozu.admira"), "0.0.0");
  EXPECT_EQ(versions.at("com.test.Dajuro"), "1.0");
  EXPECT_EQ(versions.size(), 5u);
  ASSERT_FALSE(log_.lines().empty());
  EXPECT_EQ(log_.lines().back().rfind("[Zizozu] Initialized with kit versions: {\n", 0), 0u);
}

TEST_F(KitFixture, LegacyKitsAreStartedThroughTheirSharedInstanceAndOthersAreRefusedBeforeAnyStarts) {
  useInfo(validConfig());
  LegacyKitInstance legacyInstance{[this] { started.push_back("legacy"); },
                                   [] { return std::string("com.legacy"); }, [] { return std::string("0.9"); }};
  KitClass legacy{.name = "Legacy", .sharedInstance = [&] { return &legacyInstance; }};
  const KitClass good = kit("Good");
  const KitClass notAKit{.name = "NotAKit"};
  EXPECT_EQ(
      startFailure({&good, &notAKit}),
      "[Zizozu] It appears that \"NotAKit\" is not a valid Zizozu Kit. Please make sure you only pass Zizozu "
      "Kits to [Zizozu with:].");
  EXPECT_TRUE(started.empty());

  reset();
  useInfo(validConfig());
  Zizozu::with({&legacy});
  EXPECT_EQ(started, std::vector<std::string>{"legacy"});
  EXPECT_EQ(log_.count("[Zizozu] Please upgrade to the latest version of \"Legacy\""), 1u);
  EXPECT_EQ(Zizozu::sharedSDK().kitVersionsByKitBundleIdentifier().at("com.legacy"), "0.9");
}

TEST_F(KitFixture, ConfigurationFaultsRaiseWithTheirReasonsAndAMissingKitListIsOnlyLogged) {
  const KitClass testKit = kit("TestKit");
  EXPECT_EQ(startFailure({&testKit}), "[Zizozu] Cannot find Info.plist.");
  reset();
  useInfo({{"CFBundleIdentifier", Value("org.example")}});
  EXPECT_EQ(startFailure({&testKit}), "[Zizozu] Value of Info.plist key \"Zizozu\" must be a NSDictionary.");
  reset();
  useInfo(config({{"Kits", Value(Array{})}}));
  EXPECT_EQ(startFailure({&testKit}),
            "[Zizozu] Value of Info.plist[Zizozu][APIKey] must contain your Zizozu API Key.");
  EXPECT_TRUE(started.empty());

  reset();
  useInfo(config({{"APIKey", Value("k")}}));
  Zizozu::with({&testKit});
  EXPECT_EQ(log_.count("[Zizozu] [Zizozu] Value of Info.plist[Zizozu][Kits] should be a NSArray."), 1u);
  EXPECT_EQ(started, std::vector<std::string>{"TestKit"});
  EXPECT_EQ(Zizozu::configurationDictionaryForKitClass(testKit), std::nullopt);
}

TEST_F(KitFixture, AKeySetInCodeIsUsedAndEachKitFindsItsOwnConfiguration) {
  useInfo(validConfig());
  Zizozu& sdk = Zizozu::sharedSDK();
  sdk.setAPIKey("from-code");
  EXPECT_EQ(sdk.APIKey(), "from-code");
  EXPECT_EQ(Zizozu::configurationDictionaryForKitClass(kit("TestKit")), (Dictionary{{"a", Value(1)}}));
  EXPECT_EQ(Zizozu::configurationDictionaryForKitClass(kit("Bare")), Dictionary{});
  EXPECT_EQ(Zizozu::configurationDictionaryForKitClass(kit("Other")), std::nullopt);
}

TEST_F(KitFixture, TwoStartsOverOneDefaultsFileShareOneInstallationIdentifier) {
  useInfo(validConfig());
  const std::string firstID = Zizozu::sharedSDK().installID();
  const std::string firstRun = Zizozu::sharedSDK().executionIdentifier();
  EXPECT_TRUE(Zizozu::sharedSDK().isFirstInstall());
  EXPECT_TRUE(
      std::regex_match(firstID, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
  EXPECT_TRUE(std::regex_match(firstRun, std::regex("[0-9a-f]{32}")));

  reset();
  useInfo(validConfig());
  EXPECT_FALSE(Zizozu::sharedSDK().isFirstInstall());
  EXPECT_EQ(Zizozu::sharedSDK().installID(), firstID);
  EXPECT_NE(Zizozu::sharedSDK().executionIdentifier(), firstRun);
}

/// Runs the host program over `info` with this test's data folder; its one line of output.
std::string runHost(const std::filesystem::path& info, const std::filesystem::path& dataHome) {
  const std::string command =
      "XDG_DATA_HOME='" + dataHome.string() + "' '" CRASHREPORTING_HOST "' '" + info.string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "cannot run";
  std::array<char, 512> buffer{};
  std::string out;
  while (fgets(buffer.data(), buffer.size(), pipe)) out += buffer.data();
  const int status = pclose(pipe);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : "failed: " + out;
}

TEST_F(KitFixture, SeparateProcessesKeepTheInstallationAndEachHasItsOwnExecutionIdentifier) {
  std::string error;
  Dictionary info = validConfig();
  info.emplace("CFBundleIdentifier", Value("org.example.host"));
  const auto xml = plist::encodeXml(info, error);
  ASSERT_TRUE(xml);
  const auto file = tempDir() / "Info.plist";
  std::ofstream(file) << *xml;

  const std::regex line("first-install=([01]) install-id=(\\S+) execution-id=([0-9a-f]{32})\n");
  std::smatch first;
  std::smatch second;
  const std::string out1 = runHost(file, dataHome());
  const std::string out2 = runHost(file, dataHome());
  ASSERT_TRUE(std::regex_match(out1, first, line)) << out1;
  ASSERT_TRUE(std::regex_match(out2, second, line)) << out2;
  EXPECT_EQ(first[1], "1");
  EXPECT_EQ(second[1], "0");
  EXPECT_EQ(first[2], second[2]);
  EXPECT_NE(first[3], second[3]);
  EXPECT_TRUE(std::filesystem::exists(dataHome() / "org.example.host" / "com.zizozu" / "VRDUserDefaults.plist"));
}

}  // namespace
}  // namespace crashreporting
