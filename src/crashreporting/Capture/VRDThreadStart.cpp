#include "crashreporting/Capture/VRDThreadStart.h"

#include <dlfcn.h>
#include <pthread.h>
#include <threads.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSignal.h"
#include "crashreporting/Capture/VRDThreadCapture.h"
#include "crashreporting/Capture/VRDThreadList.h"
#include "crashreporting/platform/Immortal.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

std::atomic<bool> giveStacks{false};

// The threads running with a stack this file gave them: the set-up's pass need not ask them.
struct Covered {
  std::mutex mutex;
  std::unordered_set<std::int32_t> threads;
};

// Never destroyed: the library's queue threads end, and threads still start, while static destructors run at
// exit.
Covered& covered() {
  static Immortal<Covered> instance([] { return Covered{}; });
  return instance.get();
}

// Threads started here that have not yet noted themselves as covered (they run with every signal blocked until
// then, so the set-up's pass would take them for threads that never answer).
std::atomic<int> starting{0};

}  // namespace
}  // namespace crashreporting

// libc.a's own thread start, in the member that also holds its (weak) pthread_create. A static program has no
// next definition to look up, so it starts threads through this one. Null where it is absent (libc.so does not
// export it).
extern "C" int __pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) __attribute__((weak));

namespace {
// Keeps that member in a static program: thrd_create's member calls __pthread_create, so this reference pulls
// both in, where a weak one pulls nothing. A dynamic program finds thrd_create in libc.so. (A -u link option
// would not do: it makes the reference strong, and a dynamic link then fails.)
[[gnu::used]] const auto keepLibcThreadStart = &thrd_create;
}  // namespace

// The library's thread start; pthread_create below is a weak alias of it, so a host's own definition wins.
extern "C" int crashreporting_pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                                             void* (*routine)(void*), void* argument) noexcept;

namespace crashreporting {
namespace {

CreateFunction libcCreate() {
  static const CreateFunction function = [] {
    const auto next = reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    return next != nullptr ? next : &__pthread_create;
  }();
  return function;
}

// Whether thread starts pass through the library's pthread_create (a host may define its own).
bool startsPassHere() {
  // Read through a volatile, so the compiler cannot fold the comparison of a weak alias with its target.
  CreateFunction volatile inEffect = &pthread_create;
  return inEffect == &crashreporting_pthread_create;
}

struct Start {
  void* (*routine)(void*);
  void* argument;
};

// The thread's stack, taken back however the thread ends: pthread_exit and cancellation unwind through here.
class AltStackScope {
 public:
  AltStackScope() : installed_(VRDSignalInstallAltStackOnCurrentThread()) {
    if (!installed_) return;
    const std::lock_guard lock(covered().mutex);
    try {
      covered().threads.insert(tid_);
    } catch (const std::bad_alloc&) {
      // Not noted: the set-up's pass, if it comes, asks this thread too, and it answers that it has a stack.
    }
  }
  ~AltStackScope() {
    if (!installed_) return;
    {
      const std::lock_guard lock(covered().mutex);
      covered().threads.erase(tid_);
    }
    VRDSignalRemoveAltStackFromCurrentThread();
  }
  AltStackScope(const AltStackScope&) = delete;
  AltStackScope& operator=(const AltStackScope&) = delete;

 private:
  std::int32_t tid_ = VRDCurrentThreadID();
  bool installed_;
};

void* startWithAltStack(void* data) {
  const Start start = *std::unique_ptr<Start>(static_cast<Start*>(data));
  const AltStackScope scope;
  starting.fetch_sub(1);
  return start.routine(start.argument);
}

// Waits, briefly, until the threads being started are under way.
void waitForStartingThreads() {
  const timespec step{0, 100000};
  for (int i = 0; i < 2000 && starting.load() > 0; ++i) nanosleep(&step, nullptr);
}

// Up to 200 ms for the running threads to take their stacks: each answers from its signal handler at once
// unless it blocks the signal.
constexpr long kAnswerMilliseconds = 200;

// Whether thread `tid` blocks `signal` now (the SigBlk mask of its status file); false when that cannot be read.
bool blocksSignal(std::int32_t tid, int signal) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/status", tid);
  std::vector<char> status(8192);
  if (VRDReadSmallFile(path, status.data(), status.size()) <= 0) return false;
  const char* line = std::strstr(status.data(), "\nSigBlk:");
  if (line == nullptr) return false;
  const unsigned long long mask = std::strtoull(line + 8, nullptr, 16);
  return signal >= 1 && signal <= 64 && (mask >> (signal - 1) & 1) != 0;
}

}  // namespace

void VRDThreadStartEnable() noexcept { giveStacks.store(true); }

int VRDThreadStartGiveRunningThreadsAltStacks() {
  waitForStartingThreads();
  std::vector<std::int32_t> threads(VRDProcessMaximumThreads);
  const int listed = VRDThreadListRead(threads.data(), threads.size());
  if (listed <= 0) return 0;
  const auto count = static_cast<std::uint32_t>(listed);
  const std::int32_t self = VRDCurrentThreadID();
  const int signal = VRDThreadCaptureCurrentSignal();
  std::vector<void*> stacks(count, nullptr);
  // A thread that blocks the signal would never answer: it is not asked, so the start does not wait for it.
  std::vector<bool> blocking(count, false);
  {
    const std::lock_guard lock(covered().mutex);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (threads[i] == self || covered().threads.contains(threads[i])) continue;
      if (signal != 0 && blocksSignal(threads[i], signal)) {
        blocking[i] = true;
      } else {
        stacks[i] = VRDSignalMapAltStack();
      }
    }
  }
  std::vector<std::uint32_t> outcomes(count, VRDThreadCaptureIdle);
  VRDThreadCaptureGiveAltStacks(threads.data(), stacks.data(), outcomes.data(), count, kAnswerMilliseconds);
  int without = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!blocking[i]) {
      if (stacks[i] == nullptr || outcomes[i] == VRDThreadCaptureAltStackTaken) continue;
      // A thread that has not answered may still take its stack: that one stays mapped.
      if (outcomes[i] != VRDThreadCaptureAltStackRequested) VRDSignalUnmapAltStack(stacks[i]);
      if (outcomes[i] == VRDThreadCaptureAltStackHadOne) continue;
    }
    char name[64];
    if (!VRDThreadGetName(threads[i], name, sizeof name)) continue;  // gone
    ++without;
    VRDLogWarn("Error: thread %d (%s) has no alternate signal stack - its stack overflow cannot be recorded\n",
               threads[i], name);
    SystemLog::write("[Vuveradarad:Crash] Thread " + std::to_string(threads[i]) + " (" + name +
                     ") has no alternate signal stack: a stack overflow on it cannot be recorded");
  }
  return without;
}

void VRDThreadStartLogCoverage(int signal) {
  if (libcCreate() == nullptr) {
    VRDLogError("Error: libc's pthread_create not found - the library cannot start threads\n");
  } else if (!startsPassHere()) {
    VRDLogWarn("pthread_create is the host's own - threads it starts have no alternate signal stack and their "
               "stack overflows cannot be recorded\n");
  }
  VRDLogInfo("Threads started by libc itself (timers, asynchronous I/O, name lookups) or by raw clone have no "
             "alternate signal stack; a crash records at most %zu threads; the threads running at the start were "
             "sent signal %d, which may end their sleeps and waits early with EINTR\n",
             VRDProcessMaximumThreads, signal);
}

void VRDThreadStartStop() noexcept { giveStacks.store(false); }

bool VRDThreadStartGivesAltStacks() noexcept { return giveStacks.load(); }

}  // namespace crashreporting

// Comes before libc's in the program, so every thread start passes here.
extern "C" int crashreporting_pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                                             void* (*routine)(void*), void* argument) noexcept {
  const crashreporting::CreateFunction create = crashreporting::libcCreate();
  if (create == nullptr) return EAGAIN;
  if (!crashreporting::giveStacks.load(std::memory_order_relaxed)) return create(thread, attributes, routine, argument);
  std::unique_ptr<crashreporting::Start> start;
  try {
    start = std::make_unique<crashreporting::Start>(crashreporting::Start{routine, argument});
  } catch (const std::bad_alloc&) {
    // Out of memory: the thread starts without a stack of ours rather than not at all.
    return create(thread, attributes, routine, argument);
  }
  crashreporting::starting.fetch_add(1);
  const int result = create(thread, attributes, crashreporting::startWithAltStack, start.get());
  if (result == 0) {
    start.release();
  } else {
    crashreporting::starting.fetch_sub(1);
  }
  return result;
}

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                              void* argument) noexcept __attribute__((weak, alias("crashreporting_pthread_create")));
