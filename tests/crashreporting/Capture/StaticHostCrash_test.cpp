#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/ChildProcess.h"
#include "crashreporting/support/Package.h"

// A host linked with plain -static has no .eh_frame_hdr (gcc writes none for such a link) and is built without
// frame pointers: its threads' callers are found only through its .eh_frame. It crashes on one thread; its next
// start symbolicates, packages and uploads the report.

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

// What a thread of the crash shows in the uploaded report: the frames gdb shows for it, from frame 0, or from
// the first frame named here on (gdb names a waiter's frame 0 by another alias of the same function, and stops
// at main, where the record goes on to _start).
struct ThreadCase {
  const char* name;
  bool fromFrameZero;
  std::vector<std::string> frames;
};

constexpr const char* kThreadStart = "crashreporting::(anonymous namespace)::startWithAltStack(void*)";
const ThreadCase kThreads[] = {
    {"static-crasher", true,
     {"static_crash_leaf", "static_crash_mid", "static_crash_thread", kThreadStart, "start_thread", "clone3"}},
    {"static-waiter", false, {"static_wait_thread", kThreadStart, "start_thread", "clone3"}},
    {"static-main", true, {"__futex_abstimed_wait_common", "__pthread_clockjoin_ex", "main"}},
};

TEST(StaticHostCrash, TheReportUploadedAtTheNextStartHoldsEachThreadsFramesAsGdbShowsThem) {
  const tilvane::test::ScopedTempDir temp;
  const std::map<std::string, std::string> environment{{"XDG_CACHE_HOME", (temp.path() / "cache").string()},
                                                       {"XDG_DATA_HOME", (temp.path() / "data").string()},
                                                       {"XDG_CONFIG_HOME", (temp.path() / "config").string()}};
  const FinishedChild crashed = runChild(CRASHREPORTING_STATICHOST, {"crash"}, environment);
  ASSERT_TRUE(crashed.diedBy(SIGSEGV)) << crashed.status;
  const fs::path uploads = temp.path() / "uploads";
  fs::create_directories(uploads);
  const FinishedChild next = runChild(CRASHREPORTING_STATICHOST, {"next", uploads.string()}, environment);
  ASSERT_TRUE(next.exitedWith(0)) << next.status;
  ASSERT_TRUE(next.output.starts_with("upload ") && next.output.ends_with("\n")) << next.output;
  const fs::path package = uploads / next.output.substr(7, next.output.size() - 8);

  std::map<std::string, std::string> files;
  for (const PackagePart& part : parsePackage(readText(package), package.stem().string())) {
    if (auto bytes = gunzip(part.body)) files[part.name] = *bytes;
  }
  ASSERT_EQ(files.count("signal.vrdrecord.symbolicated"), 1u) << ::testing::PrintToString(files);
  nlohmann::json names;
  std::istringstream record(files["signal.vrdrecord"]);
  for (std::string line; std::getline(record, line);) {
    if (const auto json = nlohmann::json::parse(line); json.contains("thread_names")) names = json["thread_names"];
  }
  const auto threads = nlohmann::json::parse(files["signal.vrdrecord.symbolicated"])["threads"];
  ASSERT_EQ(threads.size(), names.size());
  EXPECT_EQ(files["sdk.log"].find("Failed to advance to the next frame"), std::string::npos) << files["sdk.log"];

  for (const ThreadCase& expected : kThreads) {
    SCOPED_TRACE(expected.name);
    int found = 0;
    for (std::size_t i = 0; i < threads.size(); ++i) {
      if (names[i] != expected.name) continue;
      ++found;
      std::vector<std::string> symbols;
      for (const auto& frame : threads[i]) symbols.push_back(frame["symbol"].is_string() ? frame["symbol"] : "?");
      const auto first =
          expected.fromFrameZero ? symbols.begin() : std::find(symbols.begin(), symbols.end(), expected.frames[0]);
      const bool whole = symbols.end() - first >= static_cast<std::ptrdiff_t>(expected.frames.size()) &&
                         std::equal(expected.frames.begin(), expected.frames.end(), first);
      EXPECT_TRUE(whole) << ::testing::PrintToString(symbols);
    }
    EXPECT_GT(found, 0);
  }
}

}  // namespace
}  // namespace crashreporting::test
