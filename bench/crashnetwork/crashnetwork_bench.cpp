// The cost of one small request through the crash library's network client (session, task queues, delegate
// queue, the HTTP client and its network process, and back), against the local test server on 127.0.0.1: 1,000
// requests one after the other, each timed from the start to its completion; the median and the 90th percentile
// are reported.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "crashreporting/Kit/ZIZNetworkClient.h"
#include "support/http/TestHttpServer.h"

namespace crashreporting {
namespace {

void BM_SmallRequestsThroughTheClient(benchmark::State& state) {
  tilvane::test::TestHttpServer server;
  server.setReply("/settings", tilvane::test::ScriptedReply::ok(R"({"app":null})"));
  const auto client = ZIZNetworkClient::create();
  const URLRequest request(server.url("/settings"), 10.0);
  std::vector<double> milliseconds;
  for (auto _ : state) {
    milliseconds.clear();
    for (int i = 0; i < 1000; ++i) {
      std::mutex mutex;
      std::condition_variable finished;
      bool done = false;
      const auto start = std::chrono::steady_clock::now();
      client->startDataTaskWithRequest(request, 0, [&](auto, auto, std::optional<Error> error) {
        if (error) state.SkipWithError("a request failed");
        const std::lock_guard lock(mutex);
        done = true;
        finished.notify_one();
      });
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return done; });
      milliseconds.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
  }
  std::sort(milliseconds.begin(), milliseconds.end());
  state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
  state.counters["p90_ms"] = milliseconds[milliseconds.size() * 9 / 10];
  state.counters["requests"] = static_cast<double>(milliseconds.size());
}
BENCHMARK(BM_SmallRequestsThroughTheClient)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace crashreporting

BENCHMARK_MAIN();
