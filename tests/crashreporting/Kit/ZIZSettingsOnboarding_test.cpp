// Settings download and onboarding against the local server: the request sequences of a new application, an
// update and neither, the saved file and what keeps it whole, the instance identifier, the settings address.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "crashreporting/Kit/ZIZSettingsOnboardingManager.h"
#include "crashreporting/platform/Json.h"
#include "crashreporting/platform/NotificationCenter.h"
#include "crashreporting/platform/Sha1.h"
#include "crashreporting/support/Awaiter.h"
#include "crashreporting/support/Immutable.h"
#include "crashreporting/support/LibraryTest.h"
#include "support/http/TestHttpServer.h"

namespace crashreporting::test {
namespace {

using tilvane::test::ScopedEnv;
using tilvane::test::ScriptedReply;
using tilvane::test::TestHttpServer;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kSettingsPath = "/spi/v2/platforms/mac/apps/com.example.app/settings";
constexpr const char* kCreatePath = "/spi/v1/platforms/mac/apps";
constexpr const char* kUpdatePath = "/spi/v1/platforms/mac/apps/com.example.app";
constexpr const char* kUUID1 = "00112233445566778899aabbccddeeff";  // x86_64
constexpr const char* kUUID2 = "ffeeddccbbaa99887766554433221100";  // i386

void put32(Bytes& b, std::uint32_t v, bool big = false) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * (big ? 3 - i : i))));
}

/// A thin Mach-O header with LC_UUID (and, for x86_64, LC_VERSION_MIN_MACOSX 10.13.2 with SDK 10.14.0).
Bytes slice(bool is64, const char* uuidHex) {
  Bytes commands;
  put32(commands, 27);
  put32(commands, 24);
  for (int i = 0; i < 16; ++i) commands.push_back(static_cast<std::uint8_t>(std::stoi(std::string(uuidHex + 2 * i, 2), nullptr, 16)));
  if (is64) {
    put32(commands, 36);
    put32(commands, 16);
    put32(commands, (10u << 16) | (13u << 8) | 2u);
    put32(commands, (10u << 16) | (14u << 8));
  }
  Bytes header;
  put32(header, is64 ? 0xfeedfacf : 0xfeedface);
  put32(header, is64 ? 0x01000007 : 7);
  put32(header, 3);
  put32(header, 2);
  put32(header, is64 ? 2 : 1);
  put32(header, static_cast<std::uint32_t>(commands.size()));
  put32(header, 0);
  if (is64) put32(header, 0);
  header.insert(header.end(), commands.begin(), commands.end());
  return header;
}

/// A universal file of an x86_64 and an i386 slice.
Bytes universal() {
  const Bytes a = slice(true, kUUID1);
  const Bytes b = slice(false, kUUID2);
  Bytes file;
  put32(file, 0xcafebabe, true);
  put32(file, 2, true);
  const std::uint32_t offsetA = 4096, offsetB = 8192;
  for (const auto& [cpu, offset, size] : {std::tuple{0x01000007u, offsetA, a.size()}, std::tuple{7u, offsetB, b.size()}}) {
    put32(file, cpu, true);
    put32(file, 3, true);
    put32(file, offset, true);
    put32(file, static_cast<std::uint32_t>(size), true);
    put32(file, 12, true);
  }
  file.resize(offsetA, 0);
  file.insert(file.end(), a.begin(), a.end());
  file.resize(offsetB, 0);
  file.insert(file.end(), b.begin(), b.end());
  return file;
}

/// The multipart field names of a body, in order.
std::vector<std::string> fieldNames(const std::string& body) {
  std::vector<std::string> names;
  const std::regex name(R"(name="([^"]*)\")");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), name); it != std::sregex_iterator(); ++it)
    names.push_back((*it)[1]);
  return names;
}

class ZIZSettingsOnboardingTest : public LibraryTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.started()) << server_.error();
    MainBundle::set(BundleInfo{{{"CFBundleIdentifier", Value("com.example.app")},
                                {"CFBundleVersion", Value("42")},
                                {"CFBundleShortVersionString", Value("1.2")},
                                {"CFBundleName", Value("Example")}},
                               {}});
    const auto executable = tempDir() / "Example";
    const Bytes bytes = universal();
    std::ofstream(executable, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    model_ = ZIZApplicationIdentiferModel::initWithInstallID("install-1", executable);
    ASSERT_TRUE(model_);
    client_ = ZIZNetworkClient::create();
    client_->setScheduler([](std::chrono::nanoseconds, std::function<void()> block) { block(); });
    manager_ = std::make_shared<ZIZSettingsOnboardingManager>(model_, client_);
    NotificationCenter::defaultCenter().addObserver(ZIZSettingsAvailableNotification, [this](std::string_view) {
      notifiedWithRequests_ = server_.requestCount();
      notified_.notify();
    });
  }

  /// Runs the whole sequence and waits for its end (the session is invalidated at every end).
  void run() {
    manager_->beginSettingsAndOnboardingOperationsWithAPIKey("api-key", {{"com.zizozu.sdk.mac", "1.6.13"}});
    ASSERT_TRUE(eventually([&] { return client_->session()->isInvalidated(); }));
  }
  std::vector<std::string> methodsAndPaths() {
    std::vector<std::string> seen;
    for (const auto& request : server_.requests()) seen.push_back(request.method + " " + request.path);
    return seen;
  }
  void writeSettings(const std::string& text) {
    std::filesystem::create_directories(ZIZSettingsOnboardingManager::settingsDirectoryPath());
    std::ofstream(ZIZSettingsOnboardingManager::settingsPath()) << text;
  }

  TestHttpServer server_;
  ScopedEnv settingsEndpoint_{"SettingsEndpoint", server_.url("")};
  ScopedEnv configureEndpoint_{"ConfigureEndpoint", server_.url("")};
  std::optional<ZIZApplicationIdentiferModel> model_;
  std::shared_ptr<ZIZNetworkClient> client_;
  std::shared_ptr<ZIZSettingsOnboardingManager> manager_;
  Awaiter notified_;
  std::size_t notifiedWithRequests_ = 0;
};

TEST_F(ZIZSettingsOnboardingTest, TheInstanceIdentifierHashesTheSliceUUIDsInArchitectureOrder) {
  EXPECT_EQ(model_->architectureUUIDMap(),
            (std::map<std::string, std::string>{{"x86_64", kUUID1}, {"i386", kUUID2}}));
  EXPECT_EQ(model_->instanceIdentifier(), sha1Hex(std::string(kUUID2) + kUUID1));
  EXPECT_EQ(model_->minimumSDKString(), "10.13.2");
  EXPECT_EQ(model_->builtSDKString(), "10.14.0");

  // The running program is ELF: one slice named after its machine, its build-id as the UUID.
  const auto running = ZIZApplicationIdentiferModel::initWithInstallID("install-1");
  ASSERT_TRUE(running);
  ASSERT_EQ(running->architectureUUIDMap().size(), 1u);
  EXPECT_EQ(running->architectureUUIDMap().begin()->second.size(), 32u);
  EXPECT_EQ(running->instanceIdentifier().size(), 40u);
  EXPECT_FALSE(ZIZApplicationIdentiferModel::initWithInstallID("install-1", tempDir() / "missing"));

  EXPECT_EQ(manager_->settingsURL(), server_.url(kSettingsPath) + "?build_version=42&display_version=1.2&instance=" +
                                         model_->instanceIdentifier() + "&source=1");
}

TEST_F(ZIZSettingsOnboardingTest, ANewApplicationIsCreatedThenTheSettingsAreFetchedAgainThenAnnounced) {
  server_.queueReply(kSettingsPath, ScriptedReply::ok(R"({"app":{"status":"new"}})"));
  server_.setReply(kSettingsPath, ScriptedReply::ok(R"({"app":{"status":"activated"}})"));
  server_.setReply(kCreatePath, ScriptedReply::withStatus(201));
  run();
  ASSERT_TRUE(notified_.waitFor(1));
  EXPECT_EQ(methodsAndPaths(), (std::vector<std::string>{std::string("GET ") + kSettingsPath,
                                                         std::string("POST ") + kCreatePath,
                                                         std::string("GET ") + kSettingsPath}));
  EXPECT_EQ(notified_.count(), 1);
  EXPECT_EQ(notifiedWithRequests_, 3u);

  const auto requests = server_.requests();
  const auto& settings = requests[0];
  EXPECT_EQ(settings.header("Accept"), "application/json");
  EXPECT_EQ(settings.header("X-Vuveradarad-Installation-ID"), "install-1");
  EXPECT_EQ(settings.header("X-Vuveradarad-API-Key"), "api-key");
  EXPECT_EQ(settings.header("X-Vuveradarad-API-Client-Version"), "1.6.13");
  EXPECT_TRUE(settings.header("X-Vuveradarad-OS-Display-Version"));
  EXPECT_FALSE(settings.header("X-Vuveradarad-Advertising-Token"));
  EXPECT_EQ(settings.query, "build_version=42&display_version=1.2&instance=" + model_->instanceIdentifier() +
                                "&source=1");

  const auto& create = requests[1];
  EXPECT_EQ(fieldNames(create.body),
            (std::vector<std::string>{"app[identifier]", "app[instance_identifier]", "app[name]",
                                      "app[build_version]", "app[display_version]", "app[source]",
                                      "app[minimum_sdk_version]", "app[built_sdk_version]",
                                      "app[build][libraries][com.zizozu.sdk.mac]", "app[slices][][arch]",
                                      "app[slices][][uuid]", "app[slices][][arch]", "app[slices][][uuid]"}));
  EXPECT_NE(create.body.find("\r\n\r\ni386\r\n"), std::string::npos);
  EXPECT_NE(create.body.find("\r\n\r\n" + std::string(kUUID2) + "\r\n"), std::string::npos);
  EXPECT_EQ(create.header("Content-Length"), std::to_string(create.body.size()));
  EXPECT_NE(create.header("Content-Type")->find("multipart/form-data; boundary="), std::string::npos);
  EXPECT_EQ(manager_->settingsModel().appStatus(), "activated");  // the second download's settings
}

TEST_F(ZIZSettingsOnboardingTest, AnUpdateIsSentAfterTheAnnouncementAndNullSettingsOnlyAnnounce) {
  server_.queueReply(kSettingsPath, ScriptedReply::ok(R"({"app":{"status":"activated","update_required":true}})"));
  server_.setReply(kUpdatePath, ScriptedReply::withStatus(200));
  run();
  ASSERT_TRUE(notified_.waitFor(1));
  EXPECT_EQ(notifiedWithRequests_, 1u);  // announced before the update went out
  EXPECT_EQ(methodsAndPaths(), (std::vector<std::string>{std::string("GET ") + kSettingsPath,
                                                         std::string("PUT ") + kUpdatePath}));
  EXPECT_EQ(notified_.count(), 1);

  reset();
  SetUp();
  server_.setReply(kSettingsPath, ScriptedReply::ok(R"({"app":null})"));
  const std::size_t before = server_.requestCount();
  run();
  ASSERT_TRUE(notified_.waitFor(2));
  EXPECT_EQ(server_.requestCount(), before + 1);
  EXPECT_EQ(tilvane::test::readFile(ZIZSettingsOnboardingManager::settingsPath()), R"({"app":null})");
}

TEST_F(ZIZSettingsOnboardingTest, ACorruptSettingsFileIsDeletedOnTheFirstRead) {
  writeSettings("{\"app\": tru");
  std::string reason;
  ASSERT_FALSE(json::decode("{\"app\": tru", reason));
  ZIZSettings settings(ZIZSettingsOnboardingManager::settingsPath());
  EXPECT_FALSE(settings.settingsDictionary());
  EXPECT_FALSE(std::filesystem::exists(ZIZSettingsOnboardingManager::settingsPath()));
  EXPECT_EQ(log_.count("[Zizozu] Could not load settings with error: " + reason), 1u);
  EXPECT_FALSE(settings.settingsDictionary());  // nothing more to read, nothing more logged
  EXPECT_EQ(log_.lines().size(), 1u);
}

TEST_F(ZIZSettingsOnboardingTest, AFailedDownloadOrSaveLeavesThePreviousSettingsAsTheyWere) {
  const std::string previous = R"({"app":null,"kept":1})";
  writeSettings(previous);
  server_.setReply(kSettingsPath, ScriptedReply::withStatus(500));
  run();
  EXPECT_EQ(server_.requestCount(), 2u);  // one retry
  EXPECT_EQ(tilvane::test::readFile(ZIZSettingsOnboardingManager::settingsPath()), previous);
  EXPECT_EQ(notified_.count(), 0);

  // The new file cannot be put beside the old one.
  reset();
  SetUp();
  writeSettings(previous);
  const std::filesystem::path folder = ZIZSettingsOnboardingManager::settingsPath().parent_path();
  const Immutable readOnly(folder);
  if (!readOnly.set()) GTEST_SKIP() << "this file system keeps no immutable flag";
  server_.setReply(kSettingsPath, ScriptedReply::ok(R"({"app":{"status":"new"}})"));
  run();
  EXPECT_EQ(tilvane::test::readFile(ZIZSettingsOnboardingManager::settingsPath()), previous);
  EXPECT_EQ(notified_.count(), 0);
  bool logged = false;
  for (const auto& line : log_.lines()) logged |= line.rfind("[Zizozu] Unable to complete settings download ", 0) == 0;
  EXPECT_TRUE(logged);
}

// A folder where the settings file belongs would refuse every download for good; one where a single side file for
// every download once was refuses none.
TEST_F(ZIZSettingsOnboardingTest, AFolderInPlaceOfTheSettingsFileIsSetAsideAndFreshSettingsAreStored) {
  for (const auto& [suffix, setAside] : {std::pair{"", true}, std::pair{".download", false}}) {
    SCOPED_TRACE(std::string("settings.json") + suffix);
    reset();
    SetUp();
    std::filesystem::path blocked = ZIZSettingsOnboardingManager::settingsPath();
    blocked += suffix;
    std::filesystem::create_directories(blocked / "inside");
    server_.setReply(kSettingsPath, ScriptedReply::ok(R"({"app":{"status":"new"}})"));
    run();
    EXPECT_EQ(tilvane::test::readFile(ZIZSettingsOnboardingManager::settingsPath()), R"({"app":{"status":"new"}})");
    bool said = false;
    for (const auto& line : log_.lines())
      said |= line.find("'" + blocked.string() + "' is a folder, not a file: kept aside as '") != std::string::npos;
    EXPECT_EQ(said, setAside);
    std::size_t sideFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(blocked.parent_path()))
      sideFiles += entry.path().filename().string().starts_with("settings.json.download-");
    EXPECT_EQ(sideFiles, 0u) << "a download's side file is renamed over the settings";
    std::filesystem::remove_all(ZIZSettingsOnboardingManager::settingsPath().parent_path());
  }
}

// A side file of a copy killed before its rename goes with a later save; one a copy may still be writing stays.
// The download file all copies of earlier versions shared goes at once.
TEST_F(ZIZSettingsOnboardingTest, ASideFileLeftByAKilledCopyIsRemovedAndAFreshOneKept) {
  const std::filesystem::path settings = ZIZSettingsOnboardingManager::settingsPath();
  std::filesystem::create_directories(settings.parent_path());
  struct Case {
    const char* suffix;
    std::chrono::seconds age;
    bool kept;
  };
  const Case cases[] = {
      {".download-fresh1", std::chrono::seconds(10), true},
      {".download-young1", std::chrono::seconds(9 * 60 + 30), true},
      {".download-left01", std::chrono::seconds(10 * 60 + 30), false},
      {".download-left02", std::chrono::seconds(60 * 60), false},
      {".download", std::chrono::seconds(10), false},
  };
  const auto pathOf = [&](const Case& c) { return std::filesystem::path(settings.string() + c.suffix); };
  for (const auto& c : cases) {
    std::ofstream(pathOf(c)) << "{}";
    std::filesystem::last_write_time(pathOf(c), std::filesystem::file_time_type::clock::now() - c.age);
  }
  server_.setReply(kSettingsPath, ScriptedReply::ok(R"({"app":null})"));
  run();
  ASSERT_TRUE(notified_.waitFor(1));
  for (const auto& c : cases) EXPECT_EQ(std::filesystem::exists(pathOf(c)), c.kept) << c.suffix;
}

}  // namespace
}  // namespace crashreporting::test
