// Analytics events through the controller, as an application records them (Vizuzod's class functions): how
// many events per second reach disk (each written as its line, the logs rotated past 8,000 bytes, gzipped and
// packaged; no settings, so nothing is uploaded), and what one call costs the caller's thread. Everything is
// written under a temporary folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/VizuzodKit/VZDFileUtils.h"
#include "crashreporting/VizuzodKit/VZDVizuzodController.h"
#include "crashreporting/VizuzodKit/Vizuzod.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {
namespace {

namespace fs = std::filesystem;

constexpr int kEvents = 20000;

struct Scratch {
  Scratch() {
    char pattern[] = "/tmp/bench_vizuzod.XXXXXX";
    folder = mkdtemp(pattern);
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
      setenv(name, (folder / name).c_str(), 1);
    MainBundle::set(BundleInfo{Dictionary{{"CFBundleIdentifier", Value("org/bench")},
                                          {"Zizozu", Value(Dictionary{{"APIKey", Value("key")}, {"Kits", Value(Array{})}})}},
                               {}});
  }
  ~Scratch() {
    ProcessShared::resetAll();
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  fs::path folder;
};

void BM_EventsThroughThePipelineToDisk(benchmark::State& state) {
  const Scratch scratch;
  const auto controller = VZDVizuzodController::initWithBetaToken(std::nullopt, {scratch.folder / "analytics"});
  Vizuzod::sharedInstance().setVizuzodController(controller);
  const auto& queue = controller->eventQueue();
  queue->waitUntilAllOperationsAreFinished();
  const Dictionary attributes{{"screen", Value("preferences")}, {"count", Value(3)}, {"tab", Value("hot keys")}};
  double callerSeconds = 0, totalSeconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kEvents; ++i) Vizuzod::logCustomEventWithName("opened", attributes);
    const auto queued = std::chrono::steady_clock::now();
    do queue->waitUntilAllOperationsAreFinished();
    while (queue->operationCount() > 0);
    const auto written = std::chrono::steady_clock::now();
    callerSeconds += std::chrono::duration<double>(queued - start).count();
    totalSeconds += std::chrono::duration<double>(written - start).count();
  }
  const double events = static_cast<double>(kEvents) * static_cast<double>(state.iterations());
  state.counters["events_per_s"] = events / totalSeconds;
  state.counters["caller_us_per_event"] = callerSeconds / events * 1e6;
  state.counters["packages"] =
      static_cast<double>(VZDFileUtils::filesWithExtension("multipartmime", controller->rootEventDirectory()).size());
}
BENCHMARK(BM_EventsThroughThePipelineToDisk)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace crashreporting

BENCHMARK_MAIN();
