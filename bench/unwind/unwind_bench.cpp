// Unwinds the same 30-deep stack (frames without frame pointers) with the crash unwinder and with
// _Unwind_Backtrace, alternately in one run, and reports both rates and their ratio.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <ucontext.h>
#include <unwind.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDThreadState.h"
#include "crashreporting/Capture/VRDUnwind.h"

namespace crashreporting {
namespace {

constexpr int kDepth = 30;
volatile int sink = 0;

_Unwind_Reason_Code count(_Unwind_Context* context, void* argument) {
  ++*static_cast<int*>(argument);
  return _Unwind_GetIP(context) == 0 ? _URC_END_OF_STACK : _URC_NO_REASON;
}

int ourWalk(const VRDThreadState& state) {
  VRDUnwindContext unwind;
  VRDUnwindInit(&unwind, &state);
  int frames = 0;
  while (VRDUnwindNextFrame(&unwind)) ++frames;
  return frames;
}

__attribute__((noinline)) int runtimeWalk() {
  int frames = 0;
  _Unwind_Backtrace(count, &frames);
  return frames;
}

// At the bottom of the stack: time both unwinders, alternating in rounds so neither gets a quieter machine.
__attribute__((noinline)) void measure(benchmark::State& state) {
  ucontext_t context;
  getcontext(&context);
  VRDThreadState registers;
  VRDThreadStateFromUserContext(&context, &registers);
  using Clock = std::chrono::steady_clock;
  Clock::duration ours{};
  Clock::duration runtime{};
  std::int64_t ourFrames = 0;
  std::int64_t runtimeFrames = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    for (int i = 0; i < 100; ++i) ourFrames += ourWalk(registers);
    auto middle = Clock::now();
    for (int i = 0; i < 100; ++i) runtimeFrames += runtimeWalk();
    auto end = Clock::now();
    ours += middle - start;
    runtime += end - middle;
  }
  const double ourRate = static_cast<double>(ourFrames) / std::chrono::duration<double>(ours).count();
  const double runtimeRate = static_cast<double>(runtimeFrames) / std::chrono::duration<double>(runtime).count();
  state.counters["dwarf_frames_per_s"] = ourRate;
  state.counters["runtime_frames_per_s"] = runtimeRate;
  state.counters["runtime_over_dwarf"] = runtimeRate / ourRate;
  state.counters["dwarf_frames_per_walk"] = static_cast<double>(ourFrames) / static_cast<double>(state.iterations() * 100);
  state.counters["runtime_frames_per_walk"] =
      static_cast<double>(runtimeFrames) / static_cast<double>(state.iterations() * 100);
}

__attribute__((noinline)) int descend(benchmark::State& state, int depth) {
  if (depth == 0) {
    measure(state);
    return sink;
  }
  return descend(state, depth - 1) + sink;
}

void BM_UnwindThirtyFramesDwarfVersusRuntime(benchmark::State& state) {
  static std::string directory = [] {
    char path[] = "/tmp/bench_unwind.XXXXXX";
    return std::string(mkdtemp(path));
  }();
  static bool started = [] {
    VRDContextInitData data;
    data.apiKey = "bench";
    data.reportDirectory = directory.c_str();
    data.sessionIdentifier = "session";
    data.installIdentifier = "install";
    return VRDContextInitialize(&data);
  }();
  if (!started) {
    state.SkipWithError("the crash context did not start");
    return;
  }
  descend(state, kDepth);
}
BENCHMARK(BM_UnwindThirtyFramesDwarfVersusRuntime);

}  // namespace
}  // namespace crashreporting

BENCHMARK_MAIN();
