// The crash kit end to end, with the host program of the end-to-end tests and the local test server:
// - a crash to its report on the server: the host crashes after its first main-queue turn; the time from
//   starting the next run to the server holding the POST (processing, packaging, upload);
// - the cost of startWithAPIKey on the caller's thread: with no earlier report, with one (triaged on the work
//   queue), and with one after a crash at start (processed and uploaded before the start returns).
// Each figure is the median of 10 runs, each run in fresh folders.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "crashreporting/support/HostProcess.h"
#include "support/TestEnvironment.h"
#include "support/http/TestHttpServer.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;
constexpr const char* kReportsPath = "/sdk-api/v1/platforms/mac/apps/org.example.crashhost/reports";
constexpr int kRuns = 10;

class Folders {
 public:
  explicit Folders(const tilvane::test::TestHttpServer& server) {
    std::ofstream(temp_.path() / "Info.plist")
        << R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
        << R"(<key>CFBundleIdentifier</key><string>org.example.crashhost</string>)"
        << R"(<key>Zizozu</key><dict><key>APIKey</key><string>plist-key</string></dict></dict></plist>)";
    environment_ = {{"XDG_CACHE_HOME", (temp_.path() / "cache").string()},
                    {"XDG_DATA_HOME", (temp_.path() / "data").string()},
                    {"XDG_CONFIG_HOME", (temp_.path() / "config").string()},
                    {"VuveradaradReportsEndpoint", server.url("")},
                    {"SettingsEndpoint", "http://127.0.0.1:9"},
                    {"ConfigureEndpoint", "http://127.0.0.1:9"}};
  }
  std::unique_ptr<HostProcess> run(std::vector<std::string> steps) {
    steps.insert(steps.begin(), {(temp_.path() / "Info.plist").string(), "k"});
    return std::make_unique<HostProcess>(steps, environment_, temp_.path() / ("run" + std::to_string(++runs_)));
  }

 private:
  tilvane::test::ScopedTempDir temp_;
  std::map<std::string, std::string> environment_;
  int runs_ = 0;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

/// The duration the host printed for its start.
double startMilliseconds(const HostProcess& host) {
  const std::string output = host.output();
  const auto at = output.find("ms=");
  return at == std::string::npos ? -1 : std::atof(output.c_str() + at + 3);
}

void BM_CrashToReportOnTheServer(benchmark::State& state) {
  std::vector<double> milliseconds;
  for (auto _ : state) {
    for (int i = 0; i < kRuns; ++i) {
      tilvane::test::TestHttpServer server;
      server.setReply(kReportsPath, tilvane::test::ScriptedReply::ok("{}"));
      Folders folders(server);
      folders.run({"start", "wait:50", "crash"})->wait();
      const auto began = std::chrono::steady_clock::now();
      auto next = folders.run({"start", "serve"});
      if (!server.waitForRequests(1, 10.0)) state.SkipWithError("no report reached the server");
      milliseconds.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count());
      next->finish();
    }
  }
  state.counters["median_ms"] = median(milliseconds);
}
BENCHMARK(BM_CrashToReportOnTheServer)->Iterations(1)->Unit(benchmark::kMillisecond);

/// 0: no earlier report; 1: one earlier report; 2: one earlier report of a crash at start (urgent).
void BM_StartWithAPIKey(benchmark::State& state) {
  std::vector<double> milliseconds;
  for (auto _ : state) {
    for (int i = 0; i < kRuns; ++i) {
      tilvane::test::TestHttpServer server;
      server.setReply(kReportsPath, tilvane::test::ScriptedReply::ok("{}"));
      Folders folders(server);
      if (state.range(0) == 1) folders.run({"start", "wait:50", "crash"})->wait();
      if (state.range(0) == 2) folders.run({"start", "crash"})->wait();
      auto next = folders.run({"start", "serve"});
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (startMilliseconds(*next) < 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      const double took = startMilliseconds(*next);
      if (took < 0) state.SkipWithError("the host did not start");
      milliseconds.push_back(took);
      if (state.range(0) > 0) server.waitForRequests(1, 10.0);
      next->finish();
    }
  }
  state.counters["median_ms"] = median(milliseconds);
}
BENCHMARK(BM_StartWithAPIKey)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace crashreporting::test

BENCHMARK_MAIN();
