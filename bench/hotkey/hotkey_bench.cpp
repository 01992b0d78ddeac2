// How long one custom-layout hot-key press takes, from the key press to the focused window standing at its
// new frame: the monitor's action, the layout manager's placement (the remembered record written at once), the
// queued layout operation and the window's move. On the simulated desktop and a virtual clock, with the
// database in a temporary folder, so only the program's own work is measured.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Models/CustomLayoutModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/VirtualMainLoop.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/store/Database.h"

namespace tilvane {
namespace {

constexpr CGEventFlags kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;
constexpr CGKeyCode kLeftKey = 18;
constexpr CGKeyCode kRightKey = 19;

CustomLayoutModelPtr halfLayout(const std::string& name, std::int64_t matrixValue, CGKeyCode key) {
  auto model = std::make_shared<CustomLayoutModel>();
  model->setName(name);
  model->setType(static_cast<std::int64_t>(CustomLayoutType::fix));
  model->setMatrixValue(matrixValue);
  model->setWidth(2);
  model->setHeight(1);
  model->setKeyCode(key);
  model->setModifierFlags(static_cast<std::int64_t>(kControlOption));
  return model;
}

// A fresh world: temporary folders, a virtual main loop, one 1440 × 900 display, one application with one
// focused, managed window, and two stored custom layouts (left and right half) on Control+Option+1 and +2.
class World {
 public:
  World() : scope_(loop_) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tilvane-bench-XXXXXX").string();
    if (mkdtemp(pattern.data())) home_ = pattern;
    setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
    SharedInstances::resetAll();
    sim_ = std::make_unique<sim::SimDesktop>();
    sim_->addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
    desktop_ = std::make_unique<Desktop::Scope>(*sim_);
    hotKeyScope_ = std::make_unique<HotKeyServer::Scope>(hotKeys_);
    StoreService::shared().configureRealm();
    {
      const auto database = store::Database::open();
      database->write([&] {
        database->add(halfLayout("Left", 0b10, kLeftKey));
        database->add(halfLayout("Right", 0b01, kRightKey));
      });
    }
    const pid_t pid = sim_->applications().addApplication(
        {.bundleIdentifier = "org.example.Editor", .windows = {{.frame = CGRectMake(100, 100, 800, 600)}}});
    window_ = sim_->applications().windowsOf(pid).front();

    setupWindowManagers();  // the launch's manager steps, as the program runs them
    loop_.advance(3.0);  // the window is admitted, laid out and settled
    sim_->applications().focusWindow(window_);
  }
  ~World() {
    SharedInstances::resetAll();
    hotKeyScope_.reset();
    desktop_.reset();
    sim_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  dispatch::VirtualMainLoop& loop() { return loop_; }
  sim::SimHotKeys& hotKeys() { return hotKeys_; }
  CGRect frame() const { return sim_->applications().frameOf(window_).value_or(CGRect{}); }

 private:
  std::filesystem::path home_;
  dispatch::VirtualMainLoop loop_;
  dispatch::MainQueue::Scope scope_;
  std::unique_ptr<sim::SimDesktop> sim_;
  std::unique_ptr<Desktop::Scope> desktop_;
  sim::SimHotKeys hotKeys_;
  std::unique_ptr<HotKeyServer::Scope> hotKeyScope_;
  AXUIElement window_;
};

struct QuietLog {
  QuietLog() { LogManager::levels() = {LogManager::level::error}; }
  ~QuietLog() { LogManager::levels().clear(); }
};

void BM_HotKeyPressToNewFrame(benchmark::State& state) {
  QuietLog quiet;
  World world;
  const CGRect left = CGRectMake(0, 23, 720, 877);
  const CGRect right = CGRectMake(720, 23, 720, 877);
  bool toLeft = true;
  for (auto _ : state) {
    world.hotKeys().press(toLeft ? kLeftKey : kRightKey, kControlOption);
    world.loop().drain();  // the action, the queued operation and the move
    state.PauseTiming();
    if (world.frame() != (toLeft ? left : right)) state.SkipWithError("the window did not reach its new frame");
    world.loop().advance(1.0);  // the history record and the layouting mark, as between two real presses
    toLeft = !toLeft;
    state.ResumeTiming();
  }
  state.counters["presses"] = static_cast<double>(state.iterations());
}
BENCHMARK(BM_HotKeyPressToNewFrame)->Unit(benchmark::kMicrosecond)->Iterations(2000)->UseRealTime();

}  // namespace
}  // namespace tilvane

BENCHMARK_MAIN();
