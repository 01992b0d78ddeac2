// The crash unwinder against the compiler runtime's _Unwind_Backtrace (libgcc) and libunwind's unw_backtrace,
// on the same 30-deep stack of frames without frame pointers, all timed in one run.
//
// BM_Walks times the walkers in alternating rounds, so that none gets a quieter machine. Arguments:
// - stack: 0 = one function recursing 30 times (one return address repeated), 1 = 30 different functions;
// - cache: 0 = every walk of ours starts with an empty cache (a capture of one thread: every page proved anew),
//          1 = the walks share the proved pages and image tables but look every frame's rows up afresh (the
//              lookup itself, as for threads whose stacks share no return address),
//          2 = the walks share the whole cache (threads parked in the same calls);
// - log: 0 = the crash log at WARN, as the handler sets it while it cuts a repeated frame, 1 = at DEBUG, where
//        every frame writes its "Binary image" line to sdk.log (one write(2) per frame), 2 = no log at all (the
//        walk alone: at WARN the end of every walk is still written as an error line).
// libgcc keeps nothing between walks (it asks the loader for each frame's object), so its one walk serves as
// both its cold and its warm figure; libunwind is timed cold (its caches flushed, stepping frame by frame) and
// warm (unw_backtrace with what it kept).
// Counters are microseconds of processor time per walk and our time over each peer's.
//
// BM_FirstWalkOfAFreshProcess is the state of a crash: each sample is a new process (this program again) that
// builds the 30-function stack and times the first walk it ever makes, with one of the three unwinders; nothing
// is in the processor's caches, no page of unwind data has been touched, nothing is bound lazily yet. Ours walks
// twice over: called on the thread's stack with a cache there ("dwarf"), and as the crash handler walks
// ("dwarf_handler"): on a thread started after the capture, from a signal handler running on the alternate
// signal stack the capture gave that thread, with the context's cache; libgcc walks that thread's stack too
// ("libgcc_thread"), whose bottom frames differ from the main thread's. Counters are the medians in
// microseconds, the ratios and the page faults each walk took (first touches of code, unwind data and stack).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDThreadState.h"
#include "crashreporting/Capture/VRDUnwind.h"

extern char** environ;

namespace crashreporting {
namespace {

constexpr int kDepth = 30;
constexpr int kWalksPerRound = 10;
constexpr int kFreshProcesses = 25;
volatile int sink = 0;

// libunwind is opened privately: it defines _Unwind_Backtrace too, and linking it would take libgcc's place.
#define BENCH_NAME(x) #x
#define BENCH_SYMBOL(x) BENCH_NAME(x)
struct LibUnwind {
  int (*backtrace)(void**, int) = nullptr;
  void (*flushCache)(unw_addr_space_t, unw_word_t, unw_word_t) = nullptr;
  unw_addr_space_t* space = nullptr;
  int (*getContext)(unw_context_t*) = nullptr;
  int (*initLocal)(unw_cursor_t*, unw_context_t*) = nullptr;
  int (*step)(unw_cursor_t*) = nullptr;
  template <typename F>
  static void find(void* library, F* function, const char* name) {
    *function = reinterpret_cast<F>(dlsym(library, name));
  }
  bool open() {
    if (backtrace != nullptr) return true;
    void* library = dlopen("libunwind.so.8", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return false;
    find(library, &backtrace, "unw_backtrace");
    find(library, &flushCache, BENCH_SYMBOL(unw_flush_cache));
    find(library, &getContext, BENCH_SYMBOL(unw_tdep_getcontext));
    find(library, &initLocal, BENCH_SYMBOL(unw_init_local));
    find(library, &step, BENCH_SYMBOL(unw_step));
    space = static_cast<unw_addr_space_t*>(dlsym(library, BENCH_SYMBOL(unw_local_addr_space)));
    return backtrace != nullptr && flushCache != nullptr && space != nullptr && getContext != nullptr &&
           initLocal != nullptr && step != nullptr;
  }
};

LibUnwind& libunwind() {
  static LibUnwind library;
  return library;
}

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

__attribute__((noinline)) int libgccWalk() {
  int frames = 0;
  _Unwind_Backtrace(count, &frames);
  return frames;
}

// Warm: unw_backtrace, which keeps what it learnt of each frame between walks. Cold: its caches flushed, then
// the plain step-by-step walk, which keeps nothing of the fast path's.
__attribute__((noinline)) int libunwindWalk(bool cold) {
  LibUnwind& library = libunwind();
  if (!cold) {
    void* frames[128];
    return library.backtrace(frames, 128);
  }
  library.flushCache(*library.space, 0, 0);
  unw_context_t context;
  unw_cursor_t cursor;
  if (library.getContext(&context) != 0 || library.initLocal(&cursor, &context) != 0) return 0;
  int frames = 1;
  while (frames < 128 && library.step(&cursor) > 0) ++frames;
  return frames;
}

// The thread's processor time (system calls included) rather than the wall clock: on a machine busy with other
// work a walker that is preempted is not charged for it.
// Page faults the calling thread has taken so far (first touches of code, unwind data and stack).
long threadFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt + usage.ru_majflt;
}

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Walker {
  double seconds = 0;
  std::int64_t frames = 0;
  template <typename Walk>
  void round(Walk walk) {
    const double start = threadSeconds();
    for (int i = 0; i < kWalksPerRound; ++i) frames += walk();
    seconds += threadSeconds() - start;
  }
  double microsecondsPerWalk(std::int64_t walks) const { return seconds * 1e6 / static_cast<double>(walks); }
};

// At the bottom of the stack: time every walker, alternating in rounds.
__attribute__((noinline)) void measure(benchmark::State& state) {
  ucontext_t context;
  getcontext(&context);
  VRDThreadState registers;
  VRDThreadStateFromUserContext(&context, &registers);
  const std::int64_t sharing = state.range(1);
  const std::int64_t log = state.range(2);
  VRDContextWritable()->minimumLogLevel = log == 1 ? VRDLogLevelDebug : log == 2 ? VRDLogLevelError + 1 : VRDLogLevelWarn;
  const auto cache = std::make_unique<VRDUnwindCache>();
  VRDUnwindCacheReset(cache.get());
  Walker ours;
  Walker gcc;
  Walker unwindCold;
  Walker unwindWarm;
  for (auto _ : state) {
    ours.round([&] { return ourWalk(registers, cache.get(), sharing); });
    gcc.round(libgccWalk);
    unwindCold.round([] { return libunwindWalk(true); });
    unwindWarm.round([] { return libunwindWalk(false); });
  }
  VRDContextWritable()->minimumLogLevel = VRDLogLevelDebug;
  const auto walks = static_cast<std::int64_t>(state.iterations()) * kWalksPerRound;
  const double ourTime = ours.microsecondsPerWalk(walks);
  state.counters["dwarf_us"] = ourTime;
  state.counters["libgcc_us"] = gcc.microsecondsPerWalk(walks);
  state.counters["libunwind_cold_us"] = unwindCold.microsecondsPerWalk(walks);
  state.counters["libunwind_warm_us"] = unwindWarm.microsecondsPerWalk(walks);
  state.counters["dwarf_over_libgcc"] = ourTime / gcc.microsecondsPerWalk(walks);
  state.counters["dwarf_over_libunwind_cold"] = ourTime / unwindCold.microsecondsPerWalk(walks);
  state.counters["dwarf_over_libunwind_warm"] = ourTime / unwindWarm.microsecondsPerWalk(walks);
  state.counters["dwarf_frames"] = static_cast<double>(ours.frames) / static_cast<double>(walks);
  state.counters["libgcc_frames"] = static_cast<double>(gcc.frames) / static_cast<double>(walks);
  state.counters["libunwind_frames"] = static_cast<double>(unwindWarm.frames) / static_cast<double>(walks);
  state.counters["libunwind_cold_frames"] = static_cast<double>(unwindCold.frames) / static_cast<double>(walks);
}

// What the bottom of the stack does: the benchmark's measurement, or one first walk in a fresh process.
using Bottom = void (*)(void*);

__attribute__((noinline)) int recurse(Bottom bottom, void* argument, int depth) {
  if (depth == 0) {
    bottom(argument);
    return sink;
  }
  return recurse(bottom, argument, depth - 1) + sink;
}

// Thirty different functions, each with its own return address and FDE.
template <int N>
__attribute__((noinline)) int distinct(Bottom bottom, void* argument) {
  if constexpr (N == 0) {
    bottom(argument);
    return sink;
  } else {
    return distinct<N - 1>(bottom, argument) + sink;
  }
}

std::string reportDirectory() {
  static const std::string directory = [] {
    char path[] = "/tmp/bench_unwind.XXXXXX";
    return std::string(mkdtemp(path));
  }();
  return directory;
}

bool startCapture() {
  static const bool started = [] {
    const std::string directory = reportDirectory();
    VRDContextInitData data;
    data.apiKey = "bench";
    data.reportDirectory = directory.c_str();
    data.sessionIdentifier = "session";
    data.installIdentifier = "install";
    return VRDContextInitialize(&data);
  }();
  return started;
}

void BM_Walks(benchmark::State& state) {
  if (!startCapture() || !libunwind().open()) {
    state.SkipWithError("the crash context did not start, or libunwind.so.8 is missing");
    return;
  }
  const Bottom bottom = [](void* argument) { measure(*static_cast<benchmark::State*>(argument)); };
  if (state.range(0) == 0) {
    recurse(bottom, &state, kDepth);
  } else {
    distinct<kDepth>(bottom, &state);
  }
}
BENCHMARK(BM_Walks)
    ->ArgNames({"stack", "cache", "log"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}, {0, 2}})
    ->Args({0, 0, 1})
    ->Args({1, 1, 1});

// The handler's walk: the registers taken at the bottom of the stack, and what the walk found.
struct HandlerWalk {
  const VRDThreadState* registers = nullptr;
  double seconds = 0;
  long faults = 0;
  int frames = 0;
};
HandlerWalk handlerWalk;

void walkInHandler(int, siginfo_t*, void*) {
  const long faults = threadFaults();
  const double start = threadSeconds();
  // As the crash handler does: the context's cache, emptied at the start of the capture.
  VRDUnwindCache* cache = VRDContextTakeUnwindCache();
  handlerWalk.frames = cache == nullptr ? 0 : ourWalk(*handlerWalk.registers, cache, 0);
  handlerWalk.seconds = threadSeconds() - start;
  handlerWalk.faults = threadFaults() - faults;
  VRDContextReturnUnwindCache();
  // Not on the capture's alternate stack: no figure.
  stack_t stack{};
  if (sigaltstack(nullptr, &stack) != 0 || (stack.ss_flags & SS_ONSTACK) == 0) handlerWalk.frames = 0;
}

// One first walk, in the fresh process started with "--first-walk=<walker>": prints its nanoseconds, its frames
// and the page faults it took.
void firstWalk(void* argument) {
  const std::string walker = static_cast<const char*>(argument);
  ucontext_t context;
  getcontext(&context);
  VRDThreadState registers;
  VRDThreadStateFromUserContext(&context, &registers);
  VRDContextWritable()->minimumLogLevel = VRDLogLevelWarn;
  int frames = 0;
  const long faults = threadFaults();
  const double start = threadSeconds();
  if (walker == "dwarf") {
    // As the crash handler does: its cache on its own stack, emptied at the start of the capture.
    VRDUnwindCache cache;
    frames = ourWalk(registers, &cache, 0);
  } else if (walker == "dwarf_handler") {
    handlerWalk.registers = &registers;
    pthread_kill(pthread_self(), SIGUSR1);
    std::printf("%lld %d %ld\n", static_cast<long long>(handlerWalk.seconds * 1e9), handlerWalk.frames,
                handlerWalk.faults);
    return;
  } else if (walker == "libgcc" || walker == "libgcc_thread") {
    frames = libgccWalk();
  } else {
    frames = libunwindWalk(false);
  }
  const auto elapsed = static_cast<long long>((threadSeconds() - start) * 1e9);
  std::printf("%lld %d %ld\n", elapsed, frames, threadFaults() - faults);
}

int firstWalkChild(const char* walker) {
  if (!startCapture() || !libunwind().open()) return 1;
  // The thread's walks: the same frames below the 30 (a thread's start) for both.
  const bool onThread = std::strcmp(walker, "dwarf_handler") == 0 || std::strcmp(walker, "libgcc_thread") == 0;
  if (!onThread) {
    distinct<kDepth>(firstWalk, const_cast<char*>(walker));
    return 0;
  }
  struct sigaction action {};
  action.sa_sigaction = walkInHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGUSR1, &action, nullptr) != 0) return 1;
  std::thread([walker] { distinct<kDepth>(firstWalk, const_cast<char*>(walker)); }).join();
  return 0;
}

struct FirstWalk {
  double nanoseconds = -1;  // negative: the walk failed
  double faults = 0;
};

// Runs this program as a fresh process for one first walk.
FirstWalk freshProcessWalk(const char* walker) {
  int output[2];
  if (pipe(output) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  const std::string flag = std::string("--first-walk=") + walker;
  char program[] = "/proc/self/exe";
  char* arguments[] = {program, const_cast<char*>(flag.c_str()), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program, &actions, nullptr, arguments, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  char text[64] = {};
  std::size_t got = 0;
  for (ssize_t n = 0; got + 1 < sizeof text && (n = read(output[0], text + got, sizeof text - 1 - got)) > 0;) {
    got += static_cast<std::size_t>(n);
  }
  close(output[0]);
  int status = 0;
  if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return {};
  }
  long long nanoseconds = -1;
  int frames = 0;
  long faults = 0;
  if (std::sscanf(text, "%lld %d %ld", &nanoseconds, &frames, &faults) != 3 || frames <= kDepth) return {};
  return {static_cast<double>(nanoseconds), static_cast<double>(faults)};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void BM_FirstWalkOfAFreshProcess(benchmark::State& state) {
  const char* walkers[] = {"dwarf", "libgcc", "libunwind", "dwarf_handler", "libgcc_thread"};
  constexpr int kWalkers = 5;
  std::vector<double> times[kWalkers];
  std::vector<double> faults[kWalkers];
  for (auto _ : state) {
    for (int sample = 0; sample < kFreshProcesses; ++sample) {
      // A different walker goes first in each sample.
      for (int k = 0; k < kWalkers; ++k) {
        const int which = (sample + k) % kWalkers;
        const FirstWalk walk = freshProcessWalk(walkers[which]);
        if (walk.nanoseconds < 0) {
          state.SkipWithError("a fresh process did not walk its stack");
          return;
        }
        times[which].push_back(walk.nanoseconds / 1000);
        faults[which].push_back(walk.faults);
      }
    }
  }
  const double ours = median(times[0]);
  state.counters["dwarf_us"] = ours;
  state.counters["libgcc_us"] = median(times[1]);
  state.counters["libunwind_us"] = median(times[2]);
  state.counters["dwarf_over_libgcc"] = ours / median(times[1]);
  state.counters["dwarf_over_libunwind"] = ours / median(times[2]);
  state.counters["dwarf_handler_us"] = median(times[3]);
  state.counters["libgcc_thread_us"] = median(times[4]);
  state.counters["dwarf_handler_over_libgcc_thread"] = median(times[3]) / median(times[4]);
  state.counters["dwarf_faults"] = median(faults[0]);
  state.counters["libgcc_faults"] = median(faults[1]);
  state.counters["dwarf_handler_faults"] = median(faults[3]);
  state.counters["libgcc_thread_faults"] = median(faults[4]);
}
BENCHMARK(BM_FirstWalkOfAFreshProcess)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace crashreporting

int main(int argc, char** argv) {
  constexpr const char* kFirstWalk = "--first-walk=";
  if (argc == 2 && std::strncmp(argv[1], kFirstWalk, std::strlen(kFirstWalk)) == 0) {
    return crashreporting::firstWalkChild(argv[1] + std::strlen(kFirstWalk));
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
