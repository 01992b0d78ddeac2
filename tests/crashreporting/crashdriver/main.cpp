// Starts the crash capture, then crashes in the way asked, so tests can read what a real crash leaves:
//   crashreporting_crashdriver <mode> <report-dir> [<marker-file>]
//   crashreporting_crashdriver resolve <executable-base> <pc>...
// Modes: segv, abort, trap, raise-segv, chained-segv, overflow, thread-overflow, two-threads-crash,
// crash-during-record, ro-write, debugger, heap-check. The heap is poisoned (HeapPoison.h) just before each
// crash. "resolve" prints, one per line, the symbol dladdr finds for each pc of an earlier run whose executable
// lay at <executable-base> ("?" when none).
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "HeapPoison.h"
#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDHost.h"
#include "crashreporting/Capture/VRDSignal.h"
#include "crashreporting/platform/MainBundle.h"

using namespace crashreporting;

namespace {

char markerPath[4096];
char recordPath[4096];

bool startCapture(const char* directory) {
  BundleInfo info;
  info.infoDictionary.emplace("CFBundleIdentifier", Value("org.example/driver"));
  info.infoDictionary.emplace("CFBundleVersion", Value("7"));
  info.infoDictionary.emplace("CFBundleShortVersionString", Value("1.2"));
  MainBundle::set(std::move(info));
  VRDContextInitData data;
  data.apiKey = "driver-api-key";
  data.reportDirectory = directory;
  data.sessionIdentifier = "session-\"quoted\"";
  data.installIdentifier = "install-1";
  return VRDContextInitialize(&data);
}

// The earlier handler of the chained mode: runs after the capture has put it back. Writes what it found to the
// marker file, then lets SIGSEGV end the process.
void earlierHandler(int) {
  char record[65536];
  std::size_t fill = 0;
  const int in = open(recordPath, O_RDONLY);
  if (in >= 0) {
    ssize_t n;
    while (fill < sizeof record && (n = read(in, record + fill, sizeof record - fill)) > 0) fill += static_cast<std::size_t>(n);
    close(in);
  }
  const bool complete = fill > 0 && record[fill - 1] == '\n' && memmem(record, fill, "{\"threads\":", 11) != nullptr;
  struct sigaction trap {};
  sigaction(SIGTRAP, nullptr, &trap);
  const bool ignored = trap.sa_handler == SIG_IGN;
  const int out = open(markerPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const char* text = complete && ignored ? "record=1 trap-ignored=1\n"
                     : complete         ? "record=1 trap-ignored=0\n"
                                        : "record=0\n";
  [[maybe_unused]] const ssize_t n = write(out, text, strlen(text));
  close(out);
  signal(SIGSEGV, SIG_DFL);
}

std::atomic<int> arrived{0};
std::atomic<bool> go{false};

}  // namespace

// The crashing functions: exported (the tests look them up with dladdr), never inlined.
extern "C" {

__attribute__((noinline)) void crashdriverSegv() {
  crashdriver::poisonHeap();
  *static_cast<volatile int*>(nullptr) = 1;
}

__attribute__((noinline)) void crashdriverAbort() {
  crashdriver::poisonHeap();
  abort();
}

__attribute__((noinline)) void crashdriverTrap() {
  crashdriver::poisonHeap();
  __builtin_trap();
}

__attribute__((noinline)) int crashdriverRaiseSegv() {
  crashdriver::poisonHeap();
  raise(SIGSEGV);
  crashdriver::unpoisonHeap();
  static const char text[] = "ran on\n";
  return write(1, text, sizeof text - 1) > 0 ? 0 : 1;
}

__attribute__((noinline)) int crashdriverRecurse(int depth) {
  volatile char frame[64];
  frame[0] = static_cast<char>(depth);
  // Never ends for a positive depth; the addition after the call keeps it from becoming a loop.
  return depth > 0 ? crashdriverRecurse(depth + 1) + frame[0] : 0;
}

__attribute__((noinline)) void crashdriverSegvOnThread() {
  arrived.fetch_add(1);
  while (!go.load()) {
  }
  *static_cast<volatile int*>(nullptr) = 2;
}

// Faults once another thread has begun to record its crash.
__attribute__((noinline)) void crashdriverSegvWhileRecording() {
  arrived.fetch_add(1);
  while (std::atomic_ref(VRDContextWritable()->crashed).load() == 0) {
  }
  *static_cast<volatile int*>(nullptr) = 3;
}

__attribute__((noinline)) void crashdriverWriteReadOnlyContext() {
  crashdriver::poisonHeap();
  *const_cast<volatile bool*>(&VRDContextReadOnly()->debuggerAttached) = true;
}

}  // extern "C"

namespace {

int resolve(int argc, char** argv) {
  VRDBinaryImageDetails self;
  if (!VRDBinaryImageMainExecutableDetails(&self)) return 2;
  const std::uint64_t earlierBase = std::strtoull(argv[2], nullptr, 10);
  for (int i = 3; i < argc; ++i) {
    const std::uint64_t pc = std::strtoull(argv[i], nullptr, 10) - earlierBase + self.node.base;
    Dl_info info{};
    const bool found = dladdr(reinterpret_cast<void*>(pc), &info) != 0 && info.dli_sname != nullptr;
    std::printf("%s\n", found ? info.dli_sname : "?");
  }
  return 0;
}

int run(const std::string& mode, const char* directory, int depth) {
  std::snprintf(recordPath, sizeof recordPath, "%s/signal.vrdrecord", directory);
  if (mode == "chained-segv") {
    // A host with its own handler, an ignored signal and its own alternate stack.
    signal(SIGSEGV, earlierHandler);
    signal(SIGTRAP, SIG_IGN);
    static char hostStack[65536];
    stack_t stack{};
    stack.ss_sp = hostStack;
    stack.ss_size = sizeof hostStack;
    sigaltstack(&stack, nullptr);
  }
  if (mode == "debugger") VRDProcessSetDebuggerAttachedOverride(true);
  if (!startCapture(directory)) return 2;

  if (mode == "segv" || mode == "chained-segv") {
    crashdriverSegv();
  } else if (mode == "abort") {
    crashdriverAbort();
  } else if (mode == "trap") {
    crashdriverTrap();
  } else if (mode == "raise-segv") {
    return crashdriverRaiseSegv();
  } else if (mode == "overflow") {
    crashdriver::poisonHeap();
    return crashdriverRecurse(depth);
  } else if (mode == "thread-overflow") {
    int result = 0;
    std::thread worker([&] {
      if (!VRDSignalInstallAltStackOnCurrentThread()) return;
      crashdriver::poisonHeap();
      result = crashdriverRecurse(depth);
    });
    worker.join();
    return result;
  } else if (mode == "two-threads-crash" || mode == "crash-during-record") {
    std::thread first(crashdriverSegvOnThread);
    std::thread second(mode == "two-threads-crash" ? crashdriverSegvOnThread : crashdriverSegvWhileRecording);
    while (arrived.load() < 2) {
    }
    crashdriver::poisonHeap();
    go.store(true);
    first.join();
    second.join();
  } else if (mode == "ro-write") {
    crashdriverWriteReadOnlyContext();
  } else if (mode == "debugger") {
    struct sigaction current {};
    sigaction(SIGSEGV, nullptr, &current);
    std::printf("handlers=%s\n", current.sa_handler == SIG_DFL ? "default" : "installed");
    std::fflush(stdout);
    crashdriverSegv();
  } else if (mode == "heap-check") {
    crashdriver::poisonHeap();
    return std::malloc(16) != nullptr ? 0 : 1;
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "resolve") return resolve(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <mode> <report-dir> [<marker-file>]\n", argv[0]);
    return 2;
  }
  if (argc >= 4) std::snprintf(markerPath, sizeof markerPath, "%s", argv[3]);
  // The depth comes from the arguments, so the compiler cannot see that the recursion never ends.
  const int result = run(argv[1], argv[2], argc);
  // Keeps main's frame below the crashing calls (no tail call).
  std::printf("done %d\n", result);
  return result;
}
