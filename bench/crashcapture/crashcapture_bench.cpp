// How long starting the crash capture takes (context, handlers, metadata), and how long a real fault takes
// from the signal to the complete record: alone, and with 10 and 100 other threads to stop, unwind and name.
// And from an uncaught exception (out of a noexcept function, or on a std::thread) to the process's death: its
// record, the abort's record after it, and the abort itself. Every iteration is a forked child that starts the
// capture and crashes; it hands its times to the parent through shared memory. And what a thread start costs with
// the capture started (each thread maps its own alternate signal stack) against one without it.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <ctime>
#include <string>
#include <thread>

#include "crashreporting/Capture/VRDContext.h"

namespace crashreporting {
namespace {

struct Times {
  double startSeconds;
  double threadStartSeconds;  // processor time per thread started and joined
  timespec fault;
  timespec recorded;
};

Times* shared = nullptr;
std::string directory;

// What every child's capture starts with.
VRDContextInitData benchCapture() {
  VRDContextInitData data;
  data.apiKey = "bench";
  data.reportDirectory = directory.c_str();
  data.sessionIdentifier = "session";
  data.installIdentifier = "install";
  return data;
}

double since(const timespec& from, const timespec& to) {
  return static_cast<double>(to.tv_sec - from.tv_sec) + static_cast<double>(to.tv_nsec - from.tv_nsec) * 1e-9;
}

// Installed before the capture starts; the capture puts it back after writing its record, and the fault
// reaching it again marks the end.
void recorded(int) {
  clock_gettime(CLOCK_MONOTONIC, &shared->recorded);
  signal(SIGSEGV, SIG_DFL);
}

__attribute__((noinline)) void crash() {
  clock_gettime(CLOCK_MONOTONIC, &shared->fault);
  *static_cast<volatile int*>(nullptr) = 1;
}

// Runs one child with `threads` other threads waiting in a system call; false when it did not end by SIGSEGV.
bool runChild(int threads = 0) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::atomic<int> started{0};
    for (int i = 0; i < threads; ++i) {
      std::thread([&started] {
        started.fetch_add(1);
        for (;;) pause();
      }).detach();
    }
    while (started.load() < threads) {
    }
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    signal(SIGSEGV, recorded);
    const VRDContextInitData data = benchCapture();
    timespec before{};
    timespec after{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    VRDContextInitialize(&data);
    clock_gettime(CLOCK_MONOTONIC, &after);
    shared->startSeconds = since(before, after);
    crash();
    _exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wterminate"
__attribute__((noinline)) void throwFromNoexcept() noexcept {
  clock_gettime(CLOCK_MONOTONIC, &shared->fault);
  throw std::runtime_error("bench");
}
#pragma GCC diagnostic pop

__attribute__((noinline)) void throwOnThread() {
  clock_gettime(CLOCK_MONOTONIC, &shared->fault);
  throw std::runtime_error("bench");
}

// Runs one child that throws (on a std::thread when `onThread`), with four other threads waiting; the seconds
// from the throw to the parent seeing the child dead, or a negative number when it did not die by SIGABRT.
double throwToDeath(bool onThread) {
  const pid_t pid = fork();
  if (pid == 0) {
    for (int i = 0; i < 4; ++i) {
      std::thread([] {
        for (;;) pause();
      }).detach();
    }
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const VRDContextInitData data = benchCapture();
    VRDContextInitialize(&data);
    if (onThread) {
      std::thread(throwOnThread).join();
    } else {
      throwFromNoexcept();
    }
    _exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  timespec dead{};
  clock_gettime(CLOCK_MONOTONIC, &dead);
  if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGABRT) return -1;
  return since(shared->fault, dead);
}

void BM_ThrowToDeath(benchmark::State& state) {
  double longest = 0;
  for (auto _ : state) {
    const double seconds = throwToDeath(state.range(0) != 0);
    if (seconds < 0) state.SkipWithError("the child did not abort");
    state.SetIterationTime(seconds);
    if (seconds > longest) longest = seconds;
  }
  // The slowest death: one capture waiting for a thread that never answers shows here, not in the mean.
  state.counters["longest_ms"] = longest * 1000;
}
// 0: out of a noexcept function on the main thread; 1: uncaught on a std::thread.
BENCHMARK(BM_ThrowToDeath)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// Starts and joins kThreadStarts threads in a child, with the capture started when `captured`; false when the
// child failed.
constexpr int kThreadStarts = 500;
bool threadStarts(bool captured) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (captured) {
      const VRDContextInitData data = benchCapture();
      VRDContextInitialize(&data);
    }
    // Processor time of the whole process (both threads, system calls included): a busy machine's waits for a
    // processor are not the thread start's cost.
    timespec before{};
    timespec after{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    for (int i = 0; i < kThreadStarts; ++i) std::thread([] {}).join();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    shared->threadStartSeconds = since(before, after) / kThreadStarts;
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_ThreadStart(benchmark::State& state) {
  for (auto _ : state) {
    if (!threadStarts(state.range(0) != 0)) state.SkipWithError("the child failed");
    state.SetIterationTime(shared->threadStartSeconds);
  }
}
// 0: no capture; 1: the capture started, so every thread gets its alternate signal stack.
BENCHMARK(BM_ThreadStart)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);

void BM_CaptureStart(benchmark::State& state) {
  for (auto _ : state) {
    if (!runChild()) state.SkipWithError("the child did not crash");
    state.SetIterationTime(shared->startSeconds);
  }
}
BENCHMARK(BM_CaptureStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_SignalToRecord(benchmark::State& state) {
  for (auto _ : state) {
    if (!runChild()) state.SkipWithError("the child did not crash");
    state.SetIterationTime(since(shared->fault, shared->recorded));
  }
}
BENCHMARK(BM_SignalToRecord)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_SignalToRecordWithThreads(benchmark::State& state) {
  for (auto _ : state) {
    if (!runChild(static_cast<int>(state.range(0)))) state.SkipWithError("the child did not crash");
    state.SetIterationTime(since(shared->fault, shared->recorded));
  }
}
BENCHMARK(BM_SignalToRecordWithThreads)->Arg(10)->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
}  // namespace crashreporting

int main(int argc, char** argv) {
  using namespace crashreporting;
  char folder[] = "/tmp/bench-crashcapture-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  directory = folder;
  void* memory = mmap(nullptr, sizeof(Times), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return 1;
  shared = static_cast<Times*>(memory);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::system(("rm -rf '" + directory + "'").c_str());
  return 0;
}
