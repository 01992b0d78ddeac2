#include "crashreporting/Capture/VRDThreadStart.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
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

Covered& covered() {
  static Covered instance;
  return instance;
}

CreateFunction libcCreate() {
  static const auto function = reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
  return function;
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
  return start.routine(start.argument);
}

// Up to 200 ms for the running threads to take their stacks: each answers from its signal handler at once
// unless it blocks the signal.
constexpr long kAnswerMilliseconds = 200;

}  // namespace

void VRDThreadStartEnable() noexcept { giveStacks.store(true); }

int VRDThreadStartGiveRunningThreadsAltStacks() {
  std::vector<std::int32_t> threads(VRDProcessMaximumThreads);
  const int listed = VRDThreadListRead(threads.data(), threads.size());
  if (listed <= 0) return 0;
  const auto count = static_cast<std::uint32_t>(listed);
  const std::int32_t self = VRDCurrentThreadID();
  std::vector<void*> stacks(count, nullptr);
  {
    const std::lock_guard lock(covered().mutex);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (threads[i] != self && !covered().threads.contains(threads[i])) stacks[i] = VRDSignalMapAltStack();
    }
  }
  std::vector<std::uint32_t> outcomes(count, VRDThreadCaptureIdle);
  VRDThreadCaptureGiveAltStacks(threads.data(), stacks.data(), outcomes.data(), count, kAnswerMilliseconds);
  int without = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (stacks[i] == nullptr || outcomes[i] == VRDThreadCaptureAltStackTaken) continue;
    // A thread that has not answered may still take its stack: that one stays mapped.
    if (outcomes[i] != VRDThreadCaptureAltStackRequested) VRDSignalUnmapAltStack(stacks[i]);
    if (outcomes[i] == VRDThreadCaptureAltStackHadOne) continue;
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

void VRDThreadStartStop() noexcept { giveStacks.store(false); }

bool VRDThreadStartGivesAltStacks() noexcept { return giveStacks.load(); }

}  // namespace crashreporting

// Comes before libc's in the program, so every thread start passes here.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                              void* argument) {
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
  const int result = create(thread, attributes, crashreporting::startWithAltStack, start.get());
  if (result == 0) start.release();
  return result;
}
