// Unwinds the same 30-deep stack (frames without frame pointers) with the crash unwinder and with
// _Unwind_Backtrace, alternately in one run, and reports both rates and their ratio. Arguments:
// - stack: 0 = one function recursing 30 times (one return address repeated), 1 = 30 different functions;
// - cache: 0 = every walk starts with an empty cache (a capture of one thread: every page proved anew),
//          1 = the walks share the proved pages and image tables but look every frame's rows up afresh (the
//              lookup itself, as for threads whose stacks share no return address),
//          2 = the walks share the whole cache (threads parked in the same calls);
// - log: 0 = the crash log at WARN, as the handler sets it while it cuts a repeated frame, 1 = at DEBUG, where
//        every frame writes its "Binary image" line to sdk.log (one write(2) per frame).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <ucontext.h>
#include <unwind.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDThreadState.h"
#include "crashreporting/Capture/VRDUnwind.h"

namespace crashreporting {
namespace {

constexpr int kDepth = 30;
constexpr int kWalksPerRound = 100;
volatile int sink = 0;

_Unwind_Reason_Code count(_Unwind_Context* context, void* argument) {
  ++*static_cast<int*>(argument);
  return _Unwind_GetIP(context) == 0 ? _URC_END_OF_STACK : _URC_NO_REASON;
}

int ourWalk(const VRDThreadState& state, VRDUnwindCache* cache, std::int64_t sharing) {
  if (sharing == 0) VRDUnwindCacheReset(cache);
  if (sharing == 1) {
    for (VRDUnwindRows& rows : cache->rows) rows.pc = 0;
  }
  VRDUnwindContext unwind;
  VRDUnwindInit(&unwind, &state, cache);
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
  const std::int64_t sharing = state.range(1);
  VRDContextWritable()->minimumLogLevel = state.range(2) != 0 ? VRDLogLevelDebug : VRDLogLevelWarn;
  const auto cache = std::make_unique<VRDUnwindCache>();
  VRDUnwindCacheReset(cache.get());
  using Clock = std::chrono::steady_clock;
  Clock::duration ours{};
  Clock::duration runtime{};
  std::int64_t ourFrames = 0;
  std::int64_t runtimeFrames = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    for (int i = 0; i < kWalksPerRound; ++i) ourFrames += ourWalk(registers, cache.get(), sharing);
    auto middle = Clock::now();
    for (int i = 0; i < kWalksPerRound; ++i) runtimeFrames += runtimeWalk();
    auto end = Clock::now();
    ours += middle - start;
    runtime += end - middle;
  }
  VRDContextWritable()->minimumLogLevel = VRDLogLevelDebug;
  const double ourRate = static_cast<double>(ourFrames) / std::chrono::duration<double>(ours).count();
  const double runtimeRate = static_cast<double>(runtimeFrames) / std::chrono::duration<double>(runtime).count();
  const auto walks = static_cast<double>(state.iterations() * kWalksPerRound);
  state.counters["dwarf_frames_per_s"] = ourRate;
  state.counters["runtime_frames_per_s"] = runtimeRate;
  state.counters["runtime_over_dwarf"] = runtimeRate / ourRate;
  state.counters["dwarf_frames_per_walk"] = static_cast<double>(ourFrames) / walks;
  state.counters["runtime_frames_per_walk"] = static_cast<double>(runtimeFrames) / walks;
}

__attribute__((noinline)) int recurse(benchmark::State& state, int depth) {
  if (depth == 0) {
    measure(state);
    return sink;
  }
  return recurse(state, depth - 1) + sink;
}

// Thirty different functions, each with its own return address and FDE.
template <int N>
__attribute__((noinline)) int distinct(benchmark::State& state) {
  if constexpr (N == 0) {
    measure(state);
    return sink;
  } else {
    return distinct<N - 1>(state) + sink;
  }
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
  if (state.range(0) == 0) {
    recurse(state, kDepth);
  } else {
    distinct<kDepth>(state);
  }
}
BENCHMARK(BM_UnwindThirtyFramesDwarfVersusRuntime)
    ->ArgNames({"stack", "cache", "log"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}, {0}})
    ->Args({0, 0, 1})
    ->Args({1, 1, 1});

}  // namespace
}  // namespace crashreporting

BENCHMARK_MAIN();
