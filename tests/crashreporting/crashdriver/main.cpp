// Starts the crash capture, then crashes in the way asked, so tests can read what a real crash leaves:
//   crashreporting_crashdriver <mode> <report-dir> [<marker-file>]
//   crashreporting_crashdriver resolve <executable-base> <pc>...
//   crashreporting_crashdriver symbolicate <report-dir> [<record file name>] [<library to load first>]
//   crashreporting_crashdriver package
// Modes: segv, abort, trap, raise-segv, chained-segv, overflow, thread-overflow, two-threads-crash,
// crash-during-record, ro-write, debugger, heap-check, heap-check-other-thread and heap-check-in-handler (no crash:
// another thread uses the heap under the guard, in its own work or in a signal handler), first-instruction,
// static-segv, library-segv, threads, recurse, exiting-threads, blocked-thread, custom-keys, frameless-leaf,
// libc-strlen, frameless-overflow,
// throw-runtime, throw-cstr, throw-thread, throw-two-threads, throw-noexcept, plain-thread-overflow (a std::thread
// of no special kind), early-thread-overflow (a thread started before the capture; a thread blocking every signal,
// "blocker", was too), plugin-segv and relative-plugin-segv (a crash in a plugin right after dlopen, by its
// absolute path or by a relative one before a chdir), relative-plugin-on-thread and
// deleted-plugin-on-thread (a crash on a thread in a plugin without .eh_frame_hdr whose path no longer led to its
// file when the image table looked: loaded by a relative path before a chdir, or from a copy deleted at once),
// many-threads (600 threads, the last one
// crashes), twenty-threads, signal-taken (the host takes the capture's signal after the start), threads-at-exit
// (no crash: threads start and end while static destructors run, after main returns), null-call (a call through a
// null function pointer), no-unwind-info and no-unwind-info-under-fp (a call into an executable page no image
// holds, from frameless code with RBP in use, or from a frameless function under a frame-pointer one), plt-stub
// (the test library calls libc through its PLT, whose slots were made unreadable: the fault stops the thread on
// the stub's first instruction),
// fork-child-crash and fork-both-crash (a child forked without exec crashes; the parent then ends normally, or
// crashes too). The heap is poisoned (HeapPoison.h) just before each crash, on the thread that crashes; in the
// throw modes the host's own terminate handler, which the capture chains to, poisons it before it aborts (the
// exception record itself may use the heap). "resolve" prints, one per line, the symbol dladdr finds for
// each pc of an earlier run whose executable lay at <executable-base> ("?" when none). "symbolicate" is the
// next launch: it names the crashed thread's frames of an earlier run's record (signal.vrdrecord unless named)
// with the symbol resolver and prints one line per frame, "<symbol> <offset> <library>", or "?" for a frame it
// cannot place; given a library, it loads that first. "package" is
// the next launch's processing: with capture started for a new run, every earlier report of the store (under
// $XDG_CACHE_HOME) is moved to processing, symbolicated and packaged, and every report left in processing is
// packaged; one line "<identifier> <submitted 0/1>" per report.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <linux/futex.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Frameless.h"
#include "HeapPoison.h"
#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/Capture/VRDHost.h"
#include "crashreporting/Capture/VRDSignal.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDReportsController.h"
#include "crashreporting/Reports/VRDSymbolResolver.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/SerialQueue.h"

using namespace crashreporting;

namespace {

char markerPath[4096];
char recordPath[4096];

void setBundle() {
  BundleInfo info;
  info.infoDictionary.emplace("CFBundleIdentifier", Value("org.example/driver"));
  info.infoDictionary.emplace("CFBundleVersion", Value("7"));
  info.infoDictionary.emplace("CFBundleShortVersionString", Value("1.2"));
  MainBundle::set(std::move(info));
}

bool startCapture(const char* directory) {
  setBundle();
  // The storage figures are those of the documents folder's file system.
  setenv("XDG_DOCUMENTS_DIR", directory, 1);
  VRDContextInitData data;
  data.apiKey = "driver-api-key";
  data.reportDirectory = directory;
  data.sessionIdentifier = "session-\"quoted\"";
  data.installIdentifier = "install-1";
  data.maxCustomKeys = 64;
  data.logBufferSize = 65536;
  data.errorReportingEnabled = true;
  data.maxCustomExceptions = 8;
  return VRDContextInitialize(&data);
}

// Whether the record file at `path` holds a threads line and ends with a whole line (read without the heap).
bool recordComplete(const char* path) {
  static char record[262144];
  std::size_t fill = 0;
  const int in = open(path, O_RDONLY);
  if (in >= 0) {
    ssize_t n;
    while (fill < sizeof record && (n = read(in, record + fill, sizeof record - fill)) > 0) fill += static_cast<std::size_t>(n);
    close(in);
  }
  return fill > 0 && record[fill - 1] == '\n' && memmem(record, fill, "{\"threads\":", 11) != nullptr;
}

void writeMarker(const char* text) {
  const int out = open(markerPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  [[maybe_unused]] const ssize_t n = write(out, text, strlen(text));
  close(out);
}

// The earlier handler of the chained mode: runs after the capture has put it back. Writes what it found to the
// marker file, then lets SIGSEGV end the process.
void earlierHandler(int) {
  const bool complete = recordComplete(recordPath);
  struct sigaction trap {};
  sigaction(SIGTRAP, nullptr, &trap);
  const bool ignored = trap.sa_handler == SIG_IGN;
  writeMarker(complete && ignored ? "record=1 trap-ignored=1\n"
              : complete         ? "record=1 trap-ignored=0\n"
                                 : "record=0\n");
  signal(SIGSEGV, SIG_DFL);
}

char exceptionRecordPath[4096];
// Set where only one thread ends by an exception: the abort after it then runs under the heap guard.
bool poisonOnTerminate = false;

// The host's terminate handler, which the capture must chain to once the exception is recorded.
[[noreturn]] void earlierTerminateHandler() {
  writeMarker(recordComplete(exceptionRecordPath) ? "chained record=1\n" : "chained record=0\n");
  if (poisonOnTerminate) crashdriver::poisonHeap();
  std::abort();
}

std::atomic<int> arrived{0};
std::atomic<bool> go{false};
std::uint32_t neverReleased = 0;

// Blocks in the calling function itself: the system call instruction is inlined, so the thread's interrupted
// pc lies in that function.
[[gnu::always_inline]] inline void waitForever() {
  for (;;) {
    register long timeout asm("r10") = 0;
    long result;
    asm volatile("syscall"
                 : "=a"(result)
                 : "0"(static_cast<long>(SYS_futex)), "D"(&neverReleased), "S"(static_cast<long>(FUTEX_WAIT_PRIVATE)),
                   "d"(0L), "r"(timeout)
                 : "rcx", "r11", "memory");
  }
}

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
  crashdriver::poisonHeap();
  *static_cast<volatile int*>(nullptr) = 2;
}

// Faults once another thread has begun to record its crash.
__attribute__((noinline)) void crashdriverSegvWhileRecording() {
  arrived.fetch_add(1);
  while (std::atomic_ref(VRDContextWritable()->crashed).load() == 0) {
  }
  crashdriver::poisonHeap();
  *static_cast<volatile int*>(nullptr) = 3;
}

__attribute__((noinline)) void crashdriverWriteReadOnlyContext() {
  crashdriver::poisonHeap();
  *const_cast<volatile bool*>(&VRDContextReadOnly()->debuggerAttached) = true;
}

// Faults on its very first instruction, before it has a frame of its own.
void crashdriverFirstInstruction();
asm(R"(
  .text
  .p2align 4
  .globl crashdriverFirstInstruction
  .type crashdriverFirstInstruction, @function
crashdriverFirstInstruction:
  movl $1, 0
  ret
  .size crashdriverFirstInstruction, .-crashdriverFirstInstruction
)");

__attribute__((noinline)) int crashdriverCallFirstInstruction() {
  crashdriver::poisonHeap();
  crashdriverFirstInstruction();
  return 1;
}

// Local functions: in no dynamic symbol table, so only the file's own symbol table names them.
[[gnu::noipa]] static void crashdriverStaticSegv() {
  crashdriver::poisonHeap();
  *static_cast<volatile int*>(nullptr) = 4;
}

[[gnu::noipa]] static int crashdriverStaticCaller() {
  crashdriverStaticSegv();
  return 1;
}

// Called back from the test library.
__attribute__((noinline)) int crashdriverSegvFromLibrary() {
  crashdriver::poisonHeap();
  *static_cast<volatile int*>(nullptr) = 5;
  return 1;
}

// Each blocked in a function of its own.
__attribute__((noinline)) void crashdriverWorker1() { arrived.fetch_add(1); waitForever(); }
__attribute__((noinline)) void crashdriverWorker2() { arrived.fetch_add(1); waitForever(); }
__attribute__((noinline)) void crashdriverWorker3() { arrived.fetch_add(1); waitForever(); }
__attribute__((noinline)) void crashdriverWorker4() { arrived.fetch_add(1); waitForever(); }

// With every signal blocked: no one can ask it for its registers.
__attribute__((noinline)) void crashdriverBlockedWorker() {
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
  arrived.fetch_add(1);
  waitForever();
}

// Ends itself (a bare exit, no heap) once the threads have been listed and are being asked for their state.
__attribute__((noinline)) void crashdriverExitingWorker() {
  arrived.fetch_add(1);
  while (std::atomic_ref(VRDContextWritable()->captureRequested).load() == 0) {
  }
  syscall(SYS_exit, 0);
}

__attribute__((noinline)) void crashdriverThrowRuntime() { throw std::runtime_error("boom"); }

__attribute__((noinline)) void crashdriverThrowCString() { throw "boom"; }

// Throws and nothing else: the compiler moves a throw that follows other code into a cold part, which has no
// exported name.
__attribute__((noinline)) void crashdriverThrowLogicError() { throw std::logic_error("from a thread"); }

__attribute__((noinline)) void crashdriverThrowOnThread() {
  arrived.fetch_add(1);
  while (!go.load()) {
  }
  crashdriverThrowLogicError();
}

// Ends the process by throwing out of a function that promises not to.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wterminate"
__attribute__((noinline)) void crashdriverThrowFromNoexcept() noexcept {
  throw std::runtime_error("from noexcept");
}
#pragma GCC diagnostic pop

// Recurses once told to; started before the capture.
__attribute__((noinline)) void crashdriverEarlyWorker() {
  arrived.fetch_add(1);
  while (!go.load()) {
  }
  crashdriver::poisonHeap();
  crashdriverRecurse(1);
}

__attribute__((noinline)) int crashdriverRecurseDeep(int depth) {
  volatile char frame[64];
  frame[0] = static_cast<char>(depth);
  if (depth == 0) {
    crashdriver::poisonHeap();
    *static_cast<volatile int*>(nullptr) = 6;
    return 0;
  }
  return crashdriverRecurseDeep(depth - 1) + frame[0];
}

// Built with frame pointers, like the rest of the driver: a frame-pointer caller above a frameless one.
__attribute__((noinline)) int crashdriverFramePointerCaller(int (*code)(int), int value) {
  return crashdriverCallCode(code, value + 1) * 5;
}

// Runs the plugin's entry given.
__attribute__((noinline)) void* crashdriverPluginThread(void* entry) {
  crashdriver::poisonHeap();
  reinterpret_cast<int (*)(int)>(entry)(2);
  return nullptr;
}

__attribute__((noinline)) void crashdriverForkedChildSegv() {
  crashdriver::poisonHeap();
  *static_cast<volatile int*>(nullptr) = 7;
}

}  // extern "C"

namespace {

// A page of executable code that no image holds and no unwind information describes: ud2.
int (*codeWithoutUnwindInfo())(int) {
  void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
  if (page == MAP_FAILED) return nullptr;
  static const unsigned char ud2[] = {0x0f, 0x0b};
  std::memcpy(page, ud2, sizeof ud2);
  if (mprotect(page, 4096, PROT_READ | PROT_EXEC) != 0) return nullptr;
  return reinterpret_cast<int (*)(int)>(page);
}

// Starts `count` detached threads running `body`, named by `names` where given, and waits until each has arrived.
void startThreads(int count, void (*const* bodies)(), const char* const* names) {
  arrived.store(0);
  for (int i = 0; i < count; ++i) {
    std::thread([body = bodies[i], name = names ? names[i] : nullptr] {
      if (name != nullptr) pthread_setname_np(pthread_self(), name);
      body();
    }).detach();
  }
  while (arrived.load() < count) {
  }
}

// Loads `library` by its path relative to its folder, then leaves for the root, where that path leads nowhere.
void* dlopenRelative(const std::filesystem::path& library) {
  if (chdir(library.parent_path().c_str()) != 0) return nullptr;
  void* loaded = dlopen(("./" + library.filename().string()).c_str(), RTLD_NOW);
  return chdir("/") == 0 ? loaded : nullptr;
}

// Loads the plugin without .eh_frame_hdr so that its path leads nowhere by the time the image table looks, then
// crashes in it on a thread.
int crashInPluginOnThread(bool deleted, const char* directory) {
  const std::filesystem::path plugin = CRASHREPORTING_PLUGIN_NOHDR;
  const std::filesystem::path copy = std::filesystem::path(directory) / plugin.filename();
  void* loaded = nullptr;
  if (deleted) {
    std::filesystem::copy_file(plugin, copy);
    loaded = dlopen(copy.c_str(), RTLD_NOW);
    std::filesystem::remove(copy);
  } else {
    loaded = dlopenRelative(plugin);
  }
  void* entry = loaded ? dlsym(loaded, "crashreportingPluginEntry") : nullptr;
  if (entry == nullptr) return 2;
  VRDBinaryImageCheckForChanges();
  VRDContextBinaryImageQueue().sync([] {});
  pthread_t thread;
  return pthread_create(&thread, nullptr, crashdriverPluginThread, entry) == 0 ? pthread_join(thread, nullptr) : 2;
}

// Makes the PLT slots of the library loaded as `library` unreadable.
bool hidePltSlots(void* library) {
  link_map* map = nullptr;
  if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0) return false;
  for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry) {
    if (entry->d_tag != DT_PLTGOT) continue;
    // The loader has made the address absolute; the first three words are its own.
    const std::uintptr_t page = (entry->d_un.d_ptr + 3 * sizeof(void*)) & ~std::uintptr_t{4095};
    return mprotect(reinterpret_cast<void*>(page), 4096, PROT_NONE) == 0;
  }
  return false;
}

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

// The next launch's symbolication of the crashed thread in an earlier run's record.
int symbolicate(const char* directory, const char* recordName, const char* library) {
  if (library != nullptr && dlopen(library, RTLD_NOW) == nullptr) return 5;
  const std::string folder = directory;
  VRDSymbolResolver resolver;
  if (!resolver.loadBinaryImagesFromFile(folder + "/binary_images.vrdrecord")) return 3;
  const auto lines = VRDFileReadSections((folder + "/" + recordName).c_str(), false);
  if (!lines) return 4;
  for (const Value& line : *lines) {
    const Value* threads = line.member("threads");
    if (threads == nullptr || threads->get<Array>() == nullptr) continue;
    for (const Value& thread : *threads->get<Array>()) {
      const Value* crashed = thread.member("crashed");
      const Value* stack = thread.member("stacktrace");
      if (crashed == nullptr || !crashed->boolValue() || stack == nullptr || stack->get<Array>() == nullptr) continue;
      // Frame 0 and the frames the record lists as exact are instructions; the others return addresses.
      std::vector<std::int64_t> exact{0};
      if (const Value* listed = thread.member("exact_frames"); listed != nullptr && listed->get<Array>() != nullptr) {
        exact.clear();
        for (const Value& index : *listed->get<Array>()) {
          if (const auto* number = index.get<std::int64_t>()) exact.push_back(*number);
        }
      }
      std::int64_t index = 0;
      for (const Value& pc : *stack->get<Array>()) {
        const auto* address = pc.get<std::int64_t>();
        const bool returnAddress = std::find(exact.begin(), exact.end(), index++) == exact.end();
        const auto frame =
            address ? resolver.frameForAddress(static_cast<std::uint64_t>(*address), returnAddress) : std::nullopt;
        if (frame && frame->symbol) {
          std::printf("%s %llu %s\n", frame->symbol->c_str(), static_cast<unsigned long long>(frame->offset),
                      frame->library.value_or("?").c_str());
        } else {
          std::printf("?\n");
        }
      }
    }
  }
  return 0;
}

// The crash kit's side of the next launch, without the upload client.
class PackageDelegate : public VRDReportsControllerDelegate, public VRDPackageUploader {
 public:
  VRDSettings settingsForReportsController(VRDReportsController&) override { return VRDSettings(); }
  std::optional<std::string> bundleIdentifierForReportsController(VRDReportsController&) override {
    return "org.example_driver";
  }
  std::optional<std::string> APIKeyForReportsController(VRDReportsController&) override { return "driver-api-key"; }
  void reportsControllerDidCompletePackageSubmission(VRDReportsController&, const std::string&,
                                                     const std::optional<Error>&) override {}
  void reportsControllerDidCompleteAllSubmissions(VRDReportsController&) override {}
  bool submitPackageMultipartMimeAtPath(const std::string& path, bool) override {
    std::printf("upload %s\n", path.c_str());
    return true;
  }
};

int package() {
  setBundle();
  VRDFileManager store;
  if (!store.prepareForNewLaunch()) return 2;
  const std::string executionIdentifier = "next-" + std::to_string(getpid());
  const auto thisRun = store.setupNewPathForExecutionIdentifier(executionIdentifier);
  if (!thisRun || !startCapture(thisRun->c_str())) return 2;
  PackageDelegate delegate;
  VRDReportsController controller(delegate, &delegate, store);
  for (const std::string& path : store.processingPathContents()) {
    auto report = VRDInternalReport::reportWithPath(path);
    if (!report) continue;
    std::printf("%s %d\n", report->identifier().c_str(), controller.prepareAndSubmitReport(*report, false, true));
  }
  for (const std::string& path : store.activePathContents()) {
    if (path == *thisRun) continue;
    auto report = VRDInternalReport::reportWithPath(path);
    if (!report || !report->needsToBeSubmitted()) continue;
    std::printf("%s %d\n", report->identifier().c_str(), controller.prepareAndSubmitReport(*report, false, true));
  }
  std::fflush(stdout);
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
  if (mode.starts_with("throw-")) {
    std::snprintf(exceptionRecordPath, sizeof exceptionRecordPath, "%s/exception.vrdrecord", directory);
    std::set_terminate(earlierTerminateHandler);
    poisonOnTerminate = mode != "throw-two-threads";
  }
  if (mode == "debugger") VRDProcessSetDebuggerAttachedOverride(true);
  if (mode == "early-thread-overflow") {
    // Before the capture starts: one thread that will overflow, one that blocks every signal.
    std::thread(crashdriverEarlyWorker).detach();
    std::thread([] {
      pthread_setname_np(pthread_self(), "blocker");
      crashdriverBlockedWorker();
    }).detach();
    while (arrived.load() < 2) {
    }
  }
  if (mode == "threads-at-exit") {
    // Registered before the capture's statics exist, so it runs after their destructors.
    std::atexit([] {
      for (int i = 0; i < 200; ++i) std::thread([] {}).join();
    });
  }
  if (!startCapture(directory)) return 2;
  // The image lines are written on the binary-image queue; let them reach the record before crashing.
  VRDContextBinaryImageQueue().sync([] {});

  if (mode == "threads-at-exit") return 0;
  if (mode == "segv" || mode == "chained-segv") {
    crashdriverSegv();
  } else if (mode == "abort") {
    crashdriverAbort();
  } else if (mode == "trap") {
    crashdriverTrap();
  } else if (mode == "raise-segv") {
    return crashdriverRaiseSegv();
  } else if (mode == "frameless-leaf") {
    crashdriver::poisonHeap();
    return crashdriverFramelessCallersCaller(depth);
  } else if (mode == "libc-strlen") {
    crashdriver::poisonHeap();
    return crashdriverStrlenCaller(depth);
  } else if (mode == "frameless-overflow") {
    crashdriver::poisonHeap();
    return crashdriverFramelessRecurse(depth);
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
  } else if (mode == "plain-thread-overflow") {
    int result = 0;
    std::thread([&] {
      crashdriver::poisonHeap();
      result = crashdriverRecurse(depth);
    }).join();
    return result;
  } else if (mode == "early-thread-overflow") {
    crashdriver::poisonHeap();
    go.store(true);
    waitForever();
  } else if (mode == "plugin-segv" || mode == "relative-plugin-segv") {
    void* plugin =
        mode == "plugin-segv" ? dlopen(CRASHREPORTING_PLUGIN, RTLD_NOW) : dlopenRelative(CRASHREPORTING_PLUGIN);
    auto* entry = plugin ? reinterpret_cast<int (*)(int)>(dlsym(plugin, "crashreportingPluginEntry")) : nullptr;
    if (entry == nullptr) return 2;
    crashdriver::poisonHeap();
    return entry(depth);
  } else if (mode == "relative-plugin-on-thread" || mode == "deleted-plugin-on-thread") {
    return crashInPluginOnThread(mode == "deleted-plugin-on-thread", directory);
  } else if (mode == "many-threads" || mode == "twenty-threads") {
    const int others = mode == "many-threads" ? 599 : 20;
    std::vector<void (*)()> bodies(static_cast<std::size_t>(others), crashdriverWorker1);
    startThreads(others, bodies.data(), nullptr);
    if (mode == "twenty-threads") crashdriverSegv();
    // The last thread started crashes.
    arrived.store(0);
    std::thread last(crashdriverSegvOnThread);
    while (arrived.load() < 1) {
    }
    crashdriver::poisonHeap();
    go.store(true);
    last.join();
  } else if (mode == "signal-taken") {
    struct sigaction own {};
    own.sa_handler = [](int) {};
    sigaction(VRDContextReadOnly()->threadCapture.signal, &own, nullptr);
    void (*const bodies[])() = {crashdriverWorker1, crashdriverWorker2, crashdriverWorker3, crashdriverWorker4};
    const char* const names[] = {"w1", "w2", "w3", "w4"};
    startThreads(4, bodies, names);
    crashdriverSegv();
  } else if (mode == "two-threads-crash" || mode == "crash-during-record") {
    std::thread first(crashdriverSegvOnThread);
    std::thread second(mode == "two-threads-crash" ? crashdriverSegvOnThread : crashdriverSegvWhileRecording);
    while (arrived.load() < 2) {
    }
    crashdriver::poisonHeap();
    go.store(true);
    first.join();
    second.join();
  } else if (mode == "throw-runtime") {
    crashdriverThrowRuntime();
  } else if (mode == "throw-cstr") {
    crashdriverThrowCString();
  } else if (mode == "throw-noexcept") {
    crashdriverThrowFromNoexcept();
  } else if (mode == "throw-thread" || mode == "throw-two-threads") {
    std::thread first(crashdriverThrowOnThread);
    std::thread second;
    if (mode == "throw-two-threads") second = std::thread(crashdriverThrowOnThread);
    while (arrived.load() < (second.joinable() ? 2 : 1)) {
    }
    go.store(true);
    first.join();
    if (second.joinable()) second.join();
  } else if (mode == "null-call") {
    crashdriver::poisonHeap();
    return crashdriverCallThroughNullCaller(depth);
  } else if (mode == "no-unwind-info" || mode == "no-unwind-info-under-fp") {
    auto* const code = codeWithoutUnwindInfo();
    if (code == nullptr) return 2;
    crashdriver::poisonHeap();
    return mode == "no-unwind-info" ? crashdriverRbpInUseCaller(code, depth) : crashdriverFramePointerCaller(code, depth);
  } else if (mode == "fork-child-crash" || mode == "fork-both-crash") {
    // A child forked without exec crashes; the parent waits for it, then ends normally or crashes too.
    const pid_t child = fork();
    if (child == 0) crashdriverForkedChildSegv();
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return 2;
    std::printf("child %d\n", WIFSIGNALED(status) ? WTERMSIG(status) : -1);
    std::fflush(stdout);
    if (mode == "fork-both-crash") crashdriverSegv();
  } else if (mode == "ro-write") {
    crashdriverWriteReadOnlyContext();
  } else if (mode == "debugger") {
    struct sigaction current {};
    sigaction(SIGSEGV, nullptr, &current);
    std::printf("handlers=%s\n", current.sa_handler == SIG_DFL ? "default" : "installed");
    std::fflush(stdout);
    crashdriverSegv();
  } else if (mode == "first-instruction") {
    return crashdriverCallFirstInstruction();
  } else if (mode == "static-segv") {
    return crashdriverStaticCaller();
  } else if (mode == "library-segv") {
    void* library = dlopen(CRASHREPORTING_TESTLIB, RTLD_NOW);
    if (library == nullptr) return 2;
    auto* call = reinterpret_cast<int (*)(int (*)())>(dlsym(library, "crashreportingTestlibCall"));
    if (call == nullptr) return 2;
    VRDBinaryImageCheckForChanges();
    VRDContextBinaryImageQueue().sync([] {});
    return call(crashdriverSegvFromLibrary);
  } else if (mode == "plt-stub") {
    void* library = dlopen(CRASHREPORTING_TESTLIB, RTLD_NOW);
    auto* call =
        library ? reinterpret_cast<int (*)()>(dlsym(library, "crashreportingTestlibCallThroughPlt")) : nullptr;
    if (call == nullptr) return 2;
    VRDBinaryImageCheckForChanges();
    VRDContextBinaryImageQueue().sync([] {});
    if (!hidePltSlots(library)) return 2;
    crashdriver::poisonHeap();
    return call();
  } else if (mode == "threads") {
    void (*const bodies[])() = {crashdriverWorker1, crashdriverWorker2, crashdriverWorker3, crashdriverWorker4};
    const char* const names[] = {"w1", "w2", "w3", "w4"};
    startThreads(4, bodies, names);
    crashdriverSegv();
  } else if (mode == "recurse") {
    return crashdriverRecurseDeep(10000);
  } else if (mode == "exiting-threads") {
    void (*const bodies[])() = {crashdriverExitingWorker, crashdriverExitingWorker, crashdriverExitingWorker,
                                crashdriverExitingWorker, crashdriverExitingWorker, crashdriverExitingWorker};
    startThreads(6, bodies, nullptr);
    crashdriverSegv();
  } else if (mode == "blocked-thread") {
    void (*const bodies[])() = {crashdriverBlockedWorker};
    const char* const names[] = {"blocked"};
    startThreads(1, bodies, names);
    crashdriverSegv();
  } else if (mode == "custom-keys") {
    const Value blue("blue");
    const Value name("na\u00efve \u2603");
    const Value number(42);
    VRDUserLoggingRecordUserKeyValue("color", &blue);
    VRDUserLoggingRecordUserKeyValue("name", &name);
    VRDUserLoggingRecordUserKeyValue("removed", &number);
    VRDUserLoggingRecordUserKeyValue("removed", nullptr);
    VRDLog("about to crash after %d keys", 3);
    // The swap check the log line queued runs (and its memory is freed) before the heap is poisoned.
    VRDContextLoggingQueue().sync([] {});
    crashdriverSegv();
  } else if (mode == "heap-check") {
    crashdriver::poisonHeap();
    return std::malloc(16) != nullptr ? 0 : 1;
  } else if (mode == "heap-check-other-thread" || mode == "heap-check-in-handler") {
    // Another thread uses the heap once the guard is on: in its own work, which a crash does not stop (the
    // library's queues and timer do so), or in a signal handler on its alternate stack, as a thread answering
    // the capture's signal would.
    struct sigaction onStack {};
    onStack.sa_handler = [](int) {
      void* volatile block = std::malloc(16);
      std::free(block);
    };
    onStack.sa_flags = SA_ONSTACK;
    sigaction(SIGUSR1, &onStack, nullptr);
    const bool inHandler = mode == "heap-check-in-handler";
    std::atomic<bool> done{false};
    std::thread([&] {
      while (!go.load()) {
      }
      if (inHandler) {
        raise(SIGUSR1);
      } else {
        void* volatile block = std::malloc(16);
        std::free(block);
      }
      done.store(true);
    }).detach();
    crashdriver::poisonHeap();
    go.store(true);
    while (!done.load()) {
    }
    crashdriver::unpoisonHeap();
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "resolve") return resolve(argc, argv);
  if (argc >= 3 && std::string(argv[1]) == "symbolicate") {
    return symbolicate(argv[2], argc >= 4 ? argv[3] : "signal.vrdrecord", argc >= 5 ? argv[4] : nullptr);
  }
  if (argc == 2 && std::string(argv[1]) == "package") return package();
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
