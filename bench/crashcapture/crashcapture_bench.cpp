// How long starting the crash capture takes (context, handlers, metadata), and how long a real fault takes
// from the signal to the complete record of the crashed thread. Every iteration is a forked child that starts
// the capture and crashes; it hands its times to the parent through shared memory.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "crashreporting/Capture/VRDContext.h"

namespace crashreporting {
namespace {

struct Times {
  double startSeconds;
  timespec fault;
  timespec recorded;
};

Times* shared = nullptr;
std::string directory;

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

// Runs one child; false when it did not end by SIGSEGV.
bool runChild() {
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    signal(SIGSEGV, recorded);
    VRDContextInitData data;
    data.apiKey = "bench";
    data.reportDirectory = directory.c_str();
    data.sessionIdentifier = "session";
    data.installIdentifier = "install";
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
