#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ChildProcess.h"
#include "crashreporting/support/Package.h"
#include "crashreporting/support/TestSeed.h"

// The next launch's processing of a real crash: the crash driver crashes into the store's active folder, then
// a new driver process (which holds the crashed executable's image) symbolicates and packages it.

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

using Child = RunningChild;

Child spawn(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment) {
  return spawnChild(CRASHREPORTING_CRASHDRIVER, arguments, environment);
}

std::string finish(Child child, int* status = nullptr) {
  FinishedChild finished = finishChild(child);
  if (status) *status = finished.status;
  return finished.output;
}

std::vector<std::string> visible(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->path().filename().string()[0] != '.') names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ReportPackaging : public ::testing::Test {
 protected:
  ReportPackaging() {
    fs::create_directories(crashFolder_);
    finish(spawn({"segv", crashFolder_.string()}, {}));
    for (const auto& name : visible(crashFolder_)) sources_[name] = readText(crashFolder_ / name);
  }
  fs::path store() const { return temp_.path() / "cache" / "com.zizozu" / "org.example_driver" / "v3"; }
  std::map<std::string, std::string> environment() const {
    return {{"XDG_CACHE_HOME", (temp_.path() / "cache").string()},
            {"XDG_DATA_HOME", (temp_.path() / "data").string()},
            {"XDG_CONFIG_HOME", (temp_.path() / "config").string()},
            {"VuveradaradSubmitReports", "NO"}};
  }
  // A fresh store holding the crashed run's folder in active.
  void placeReport() {
    fs::remove_all(temp_.path() / "cache");
    fs::create_directories(store() / "active");
    fs::copy(crashFolder_, store() / "active" / "crash1", fs::copy_options::recursive);
  }
  std::string package(int* status = nullptr) { return finish(spawn({"package"}, environment()), status); }

  // The single package in prepared, checked part by part against the crashed run's files.
  void expectCompletePackage(const fs::path& path, bool checkSymbols) {
    const std::string boundary = path.stem().string();
    const auto parts = parsePackage(readText(path), boundary);
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[0].name, "api_key");
    EXPECT_EQ(parts[0].body, "driver-api-key");
    EXPECT_EQ(parts[1].name, "report_id");
    EXPECT_EQ(parts[1].body, "session-\"quoted\"");
    std::map<std::string, std::string> files;
    for (std::size_t i = 2; i < parts.size(); ++i) {
      const PackagePart& part = parts[i];
      EXPECT_EQ(part.fileName, part.name + ".gz");
      EXPECT_EQ(part.contentType, "application/x-gzip");
      const auto bytes = gunzip(part.body);
      ASSERT_TRUE(bytes) << part.name;
      files[part.name] = *bytes;
    }
    for (const auto& [name, bytes] : sources_) {
      ASSERT_EQ(files.count(name), 1u) << name;
      EXPECT_EQ(files[name], bytes) << name;
    }
    ASSERT_EQ(files.count("signal.vrdrecord.symbolicated"), 1u);
    if (!checkSymbols) return;
    const auto threads = nlohmann::json::parse(files["signal.vrdrecord.symbolicated"])["threads"];
    ASSERT_FALSE(threads.empty());
    ASSERT_FALSE(threads[0].empty());
    EXPECT_EQ(threads[0][0]["symbol"], "crashdriverSegv");
    EXPECT_EQ(threads[0][0]["library"], "crashreporting_crashdriver");
  }

  tilvane::test::ScopedTempDir temp_;
  fs::path crashFolder_ = temp_.path() / "crashed";
  std::map<std::string, std::string> sources_;
};

TEST_F(ReportPackaging, ACrashFolderBecomesOneCompletePackageWithASymbolicatedCopy) {
  ASSERT_EQ(sources_.count("signal.vrdrecord"), 1u);
  placeReport();
  std::ofstream(store() / "active" / "crash1" / "empty.log");
  const std::string output = package();
  EXPECT_EQ(output, "session-\"quoted\" 0\n");  // submission is off
  const auto prepared = visible(store() / "prepared");
  ASSERT_EQ(prepared.size(), 1u);
  EXPECT_EQ(fs::path(prepared[0]).extension(), ".multipartmime");
  EXPECT_TRUE(visible(store() / "processing").empty());
  EXPECT_FALSE(fs::exists(store() / "active" / "crash1"));
  expectCompletePackage(store() / "prepared" / prepared[0], true);
  // The empty file was left out and said so in this run's log.
  const auto parts = parsePackage(readText(store() / "prepared" / prepared[0]), fs::path(prepared[0]).stem());
  for (const auto& part : parts) EXPECT_NE(part.name, "empty.log");
  std::string log;
  for (const auto& name : visible(store() / "active")) log += readText(store() / "active" / name / "sdk.log");
  EXPECT_NE(log.find("Error: unable to read data for compression: empty.log"), std::string::npos) << log;
}

// A kill at any moment leaves the report in its folder, whole, or one complete package; the next launch then
// ends with exactly one complete package and nothing left behind.
TEST_F(ReportPackaging, AKillAtAnyMomentNeverLosesOrHalfPackagesTheReport) {
  placeReport();
  const auto started = std::chrono::steady_clock::now();
  package();
  const auto full = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
  // The kill moments are drawn anew on every run unless a seed is given.
  const std::uint64_t seed = testSeed(std::random_device{}());
  SCOPED_TRACE(seedNote(seed));
  std::mt19937 random(static_cast<std::uint32_t>(seed));
  std::uniform_int_distribution<long> delay(0, full.count() * 6 / 5);
  int packagedBeforeKill = 0;
  int leftInFolder = 0;
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    placeReport();
    Child child = spawn({"package"}, environment());
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(child.pid, SIGKILL);
    finish(child);

    const auto prepared = visible(store() / "prepared");
    ASSERT_LE(prepared.size(), 1u);
    if (prepared.size() == 1) {
      ++packagedBeforeKill;
      expectCompletePackage(store() / "prepared" / prepared[0], false);
    } else {
      ++leftInFolder;
      const fs::path folder =
          fs::exists(store() / "processing" / "crash1") ? store() / "processing" / "crash1" : store() / "active" / "crash1";
      for (const auto& [name, bytes] : sources_) {
        ASSERT_TRUE(fs::exists(folder / name)) << name;
        EXPECT_EQ(readText(folder / name), bytes) << name;
      }
    }
    package();
    const auto after = visible(store() / "prepared");
    ASSERT_EQ(after.size(), 1u);
    expectCompletePackage(store() / "prepared" / after[0], false);
    EXPECT_TRUE(visible(store() / "processing").empty());
    EXPECT_FALSE(fs::exists(store() / "active" / "crash1"));
  }
  RecordProperty("packaged_before_kill", packagedBeforeKill);
  RecordProperty("left_in_folder", leftInFolder);
}

}  // namespace
}  // namespace crashreporting::test
