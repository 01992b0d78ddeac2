#include <gtest/gtest.h>

#include <map>

#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ChildProcess.h"
#include "crashreporting/support/Package.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

// The threads of a crash in a host linked with plain -static (so without .eh_frame_hdr) whose crashing code has
// no frame pointers, as the package made at its next start names them: from frame 0, the frames gdb shows (it
// stops at main, where the record goes on to _start; below start_thread both show clone3, by one alias or
// another).
const std::map<std::string, std::vector<std::string>> kThreads = {
    {"static-crasher",
     {"static_crash_leaf", "static_crash_mid", "static_crash_thread",
      "crashreporting::(anonymous namespace)::startWithAltStack(void*)", "start_thread"}},
    {"static-main", {"__futex_abstimed_wait_common", "__pthread_clockjoin_ex", "main"}},
};

TEST(StaticHostCrash, TheNextStartsPackageNamesEveryFrameGdbShowsOfTheCrashedAndTheMainThread) {
  const tilvane::test::ScopedTempDir temp;
  const fs::path report = temp.path() / "report";
  fs::create_directories(report);
  const FinishedChild crashed = runChild(CRASHREPORTING_STATICHOST, {"crash", report.string()});
  ASSERT_TRUE(crashed.diedBy(SIGSEGV)) << crashed.status;
  const FinishedChild next =
      runChild(CRASHREPORTING_STATICHOST, {"next", report.string()}, {{"XDG_CACHE_HOME", temp.path().string()}});
  ASSERT_TRUE(next.exitedWith(0)) << next.status;
  const fs::path package = next.output.substr(0, next.output.find('\n'));

  std::map<std::string, std::string> files;
  for (const PackagePart& part : parsePackage(readText(package), package.stem().string())) {
    files[part.name] = gunzip(part.body).value_or("");
  }
  nlohmann::json names;
  std::istringstream record(files["signal.vrdrecord"]);
  for (std::string line; std::getline(record, line);) {
    if (line.starts_with("{\"thread_names\"")) names = nlohmann::json::parse(line)["thread_names"];
  }
  const auto threads = nlohmann::json::parse(files["signal.vrdrecord.symbolicated"])["threads"];
  ASSERT_EQ(threads.size(), names.size());
  EXPECT_EQ(files["sdk.log"].find("Failed to advance to the next frame"), std::string::npos) << files["sdk.log"];
  for (const auto& [name, frames] : kThreads) {
    const auto thread = std::find(names.begin(), names.end(), name) - names.begin();
    ASSERT_LT(thread, static_cast<std::ptrdiff_t>(threads.size())) << name;
    std::vector<std::string> symbols;
    for (const auto& frame : threads[thread])
      symbols.push_back(frame["symbol"].is_string() ? frame["symbol"] : "?");
    EXPECT_EQ(std::vector(symbols.begin(), symbols.begin() + std::min(symbols.size(), frames.size())), frames)
        << name << ": " << ::testing::PrintToString(symbols);
  }
}

}  // namespace
}  // namespace crashreporting::test
