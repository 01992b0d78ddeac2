// How long admitting and laying out windows takes, how much memory a managed window costs, and how long
// recording the user's moves takes. Each run starts from a fresh database in a temporary folder, on the
// simulated desktop and a virtual clock, so only the program's own work is measured.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/VirtualMainLoop.h"

namespace tilvane {
namespace {

constexpr int kApplications = 50;
constexpr int kWindowsPerApplication = 20;
constexpr int kWindows = kApplications * kWindowsPerApplication;
constexpr int kMoves = 10000;

// How the windows are shared out: many applications of a few windows, or one application holding them all.
struct Population {
  int applications = kApplications;
  int windowsPerApplication = kWindowsPerApplication;
  int windows() const { return applications * windowsPerApplication; }
};

std::size_t heapInUse() { return mallinfo2().uordblks; }

// A fresh world: temporary folders, a virtual main loop, one display, the population's applications and
// windows running, the managers started. Torn down in the right order.
class World {
 public:
  explicit World(Population population = {}) : scope_(loop_) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tilvane-bench-XXXXXX").string();
    if (mkdtemp(pattern.data())) home_ = pattern;
    setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
    SharedInstances::resetAll();
    sim_ = std::make_unique<sim::SimDesktop>();
    sim_->addDisplay({.frame = CGRectMake(0, 0, 2560, 1440), .visibleFrame = CGRectMake(0, 0, 2560, 1415)});
    desktop_ = std::make_unique<Desktop::Scope>(*sim_);
    StoreService::shared().configureRealm();
    for (int a = 0; a < population.applications; ++a) {
      sim::SimApplicationConfig config{.bundleIdentifier = "org.example.App" + std::to_string(a)};
      for (int w = 0; w < population.windowsPerApplication; ++w)
        config.windows.push_back({.title = "Window " + std::to_string(w),
                                  .frame = CGRectMake(20.0 * (w % 50), 30.0 + 10 * (a % 50), 800, 600)});
      sim_->applications().addApplication(config);
    }
  }
  ~World() {
    SharedInstances::resetAll();
    desktop_.reset();
    sim_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  /// The launch's manager steps, as the program runs them.
  void start() { setupWindowManagers(); }

  dispatch::VirtualMainLoop& loop() { return loop_; }
  sim::SimDesktop& sim() { return *sim_; }

 private:
  std::filesystem::path home_;
  dispatch::VirtualMainLoop loop_;
  dispatch::MainQueue::Scope scope_;
  std::unique_ptr<sim::SimDesktop> sim_;
  std::unique_ptr<Desktop::Scope> desktop_;
};

// Only errors are written: a thousand "add window" lines would measure the terminal.
struct QuietLog {
  QuietLog() { LogManager::levels() = {LogManager::level::error}; }
  ~QuietLog() { LogManager::levels().clear(); }
};

// Arguments: applications, windows of each.
void BM_AdmitAndLayOutWindows(benchmark::State& state) {
  QuietLog quiet;
  const Population population{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
  const int windows = population.windows();
  double bytesPerWindow = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      World world(population);
      world.start();
      const std::size_t before = heapInUse();
      state.ResumeTiming();
      world.loop().advance(1.0);  // the running applications' windows are admitted
      world.loop().drain();       // and moved to their places
      state.PauseTiming();
      if (WindowManager::shared().windows().size() != static_cast<std::size_t>(windows))
        state.SkipWithError("not every window was admitted");
      bytesPerWindow = static_cast<double>(heapInUse() - before) / windows;
    }
    state.ResumeTiming();
  }
  state.counters["windows"] = windows;
  state.counters["time_per_window"] =
      benchmark::Counter(windows * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate |
                                                                               benchmark::Counter::kInvert);
  state.counters["bytes_per_managed_window"] = bytesPerWindow;
}
// 1,000 windows: 20 for each of 50 applications, then all of one application (where a cost per sibling shows).
BENCHMARK(BM_AdmitAndLayOutWindows)
    ->Args({kApplications, kWindowsPerApplication})
    ->Args({1, kWindows})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

void BM_RecordMoves(benchmark::State& state) {
  QuietLog quiet;
  for (auto _ : state) {
    state.PauseTiming();
    {
      World world;
      world.start();
      world.loop().advance(1.0);
      world.loop().advance(2.5);  // every window laid out and settled
      std::vector<AXUIElement> windows;
      for (const SIWindow& w : WindowManager::shared().windows()) windows.push_back(w.axElement());
      state.ResumeTiming();
      for (int m = 0; m < kMoves; ++m) {
        const AXUIElement& w = windows[static_cast<std::size_t>(m) % windows.size()];
        world.sim().applications().userMoveWindow(w, CGRectMake(10.0 + m % 700, 40.0 + m % 300, 900, 700));
        world.loop().drain();  // the notifications arrive
        if (m % 1000 == 999) world.loop().advance(2.0);  // a pause in the dragging: the moves are written
      }
      world.loop().advance(2.0);
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.counters["moves"] = kMoves;
  state.counters["time_per_move"] = benchmark::Counter(kMoves * static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RecordMoves)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Another program holds the database's write lock for 30 s while the user moves windows and presses a hot key:
// the longest single step of the main loop (0.1 s of virtual time: every task falling due in it) in real time.
void BM_LongestStepWhileAnotherProgramHoldsTheLock(benchmark::State& state) {
  QuietLog quiet;
  double longest = 0;
  for (auto _ : state) {
    state.PauseTiming();
    World world;
    world.start();
    world.loop().advance(3.5);
    std::vector<AXUIElement> windows;
    for (const SIWindow& w : WindowManager::shared().windows()) windows.push_back(w.axElement());
    sqlite3* other = nullptr;
    sqlite3_open(store::Configuration::defaultFileURL().c_str(), &other);
    if (sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
      state.SkipWithError("could not take the lock");
    state.ResumeTiming();
    for (int step = 0; step < 300; ++step) {
      const auto start = std::chrono::steady_clock::now();
      if (step % 10 == 0) {
        const AXUIElement& w = windows[static_cast<std::size_t>(step / 10) % windows.size()];
        world.sim().applications().userMoveWindow(w, CGRectMake(10.0 + step, 40.0, 900, 700));
      }
      if (step == 55) {
        SIWindow window(windows.front());
        placeFrame(window, CGRectMake(0, 25, 1280, 1415), GaplessOrder::positionSizePosition);
        LayoutManager::shared().saveLayout(window, CGRectMake(0, 0, 0.5, 1));
      }
      world.loop().advance(0.1);
      const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      longest = std::max(longest, took);
    }
    state.PauseTiming();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    world.loop().advance(1.5);
    if (!LayoutManager::shared().updateQueue().empty()) state.SkipWithError("moves left unwritten after the lock");
    state.ResumeTiming();
  }
  state.counters["longest_step_ms"] = longest * 1000;
}
BENCHMARK(BM_LongestStepWhileAnotherProgramHoldsTheLock)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace tilvane

BENCHMARK_MAIN();
