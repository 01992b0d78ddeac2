#include "crashreporting/Capture/VRDThreadCapture.h"

#include <linux/futex.h>
#include <signal.h>
#include <ucontext.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUtilities.h"

namespace crashreporting {
namespace {

void futexWait(std::uint32_t* word, std::uint32_t expected, const timespec* timeout) noexcept {
  syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, expected, timeout, nullptr, 0);
}

void futexWake(std::uint32_t* word) noexcept { syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0); }

std::int64_t nowNanoseconds() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

VRDThreadCaptureSlot* slots() noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  return readOnly != nullptr ? readOnly->threadCapture.slots : nullptr;
}

// On the asked thread, for a set-up that predates it: takes the offered alternate stack unless it has one.
// The return from the handler puts back the alternate stack its ucontext holds, so the stack goes there too.
VRDThreadCaptureStatus takeAltStack(void* offered, void* userContext) noexcept {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) return VRDThreadCaptureAltStackHadOne;
  if (reinterpret_cast<std::uintptr_t>(userContext) < VRDMinimumValidAddress) return VRDThreadCaptureFailed;
  stack_t stack{};
  stack.ss_sp = offered;
  stack.ss_size = VRDAltStackSize;
  if (sigaltstack(&stack, nullptr) != 0) return VRDThreadCaptureFailed;
  static_cast<ucontext_t*>(userContext)->uc_stack = stack;
  return VRDThreadCaptureAltStackTaken;
}

// Runs on the asked thread, on its alternate stack when it has one.
void captureHandler(int, siginfo_t* info, void* userContext) {
  const int savedErrno = errno;
  VRDWritableContext* writable = VRDContextWritable();
  VRDThreadCaptureSlot* all = slots();
  if (writable != nullptr && all != nullptr && info != nullptr && info->si_code == SI_TKILL &&
      info->si_pid == getpid()) {
    const std::int32_t self = VRDCurrentThreadID();
    std::uint32_t count = std::atomic_ref(writable->captureRequested).load();
    if (count > VRDProcessMaximumThreads) count = VRDProcessMaximumThreads;
    for (std::uint32_t i = 0; i < count; ++i) {
      VRDThreadCaptureSlot& slot = all[i];
      if (std::atomic_ref(slot.tid).load() != self) continue;
      const std::uint32_t status = std::atomic_ref(slot.status).load();
      if (status == VRDThreadCaptureAltStackRequested) {
        std::atomic_ref(slot.status).store(takeAltStack(slot.altStack, userContext));
      } else if (status == VRDThreadCaptureRequested) {
        VRDThreadStateFromUserContext(userContext, &slot.state);
        std::atomic_ref(slot.status).store(VRDThreadCaptureCaptured);
      } else {
        continue;
      }
      // Read before answering: once answered, the release may come at any moment.
      const std::uint32_t released = std::atomic_ref(writable->captureRelease).load();
      std::atomic_ref(writable->captureAnswered).fetch_add(1);
      futexWake(&writable->captureAnswered);
      if (status == VRDThreadCaptureRequested) {
        while (std::atomic_ref(writable->captureRelease).load() == released) {
          futexWait(&writable->captureRelease, released, nullptr);
        }
      }
      break;
    }
  }
  errno = savedErrno;
}

bool isOurs(int signal) noexcept {
  struct sigaction current {};
  return sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) != 0 &&
         current.sa_sigaction == captureHandler;
}

// Installs the handler on the highest real-time signal (other than `except`) whose action is the default;
// 0 when there is none.
int takeFreeSignal(int except, struct sigaction* saved) noexcept {
  for (int signal = SIGRTMAX; signal >= SIGRTMIN; --signal) {
    if (signal == except) continue;
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    // Nothing else interrupts the copy; the handler parks on the alternate stack where the thread has one.
    sigfillset(&action.sa_mask);
    action.sa_sigaction = captureHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    if (sigaction(signal, &action, saved) != 0) continue;
    return signal;
  }
  return 0;
}

// Sends the capture signal to each thread whose slot asks for something, and waits a bounded time for them.
// Returns how many answered; `asked` how many were asked.
std::uint32_t askAndWait(VRDWritableContext* writable, VRDThreadCaptureSlot* all, std::uint32_t count, int signal,
                         long waitMilliseconds, const char* what, std::uint32_t* asked) noexcept {
  *asked = 0;
  const pid_t pid = getpid();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (std::atomic_ref(all[i].status).load() == VRDThreadCaptureIdle) continue;
    const std::int32_t tid = std::atomic_ref(all[i].tid).load();
    if (syscall(SYS_tgkill, pid, tid, signal) != 0) {
      // Gone since the listing.
      std::atomic_ref(all[i].status).store(VRDThreadCaptureFailed);
      VRDLogWarn("Unable to stop thread %d (%s)\n", tid, VRDErrorText(errno));
      continue;
    }
    ++*asked;
  }
  const std::int64_t deadline = nowNanoseconds() + waitMilliseconds * 1000000;
  std::uint32_t answered;
  while ((answered = std::atomic_ref(writable->captureAnswered).load()) < *asked) {
    const std::int64_t left = deadline - nowNanoseconds();
    if (left <= 0) {
      VRDLogWarn("Error: %u of %u threads did not %s in time\n", *asked - answered, *asked, what);
      break;
    }
    const timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    futexWait(&writable->captureAnswered, answered, &wait);
  }
  return answered;
}

// Fills the first `count` slots for a new round of questions.
void prepareSlots(VRDWritableContext* writable, VRDThreadCaptureSlot* all, const std::int32_t* threads,
                  std::uint32_t count) noexcept {
  std::atomic_ref(writable->captureAnswered).store(0);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::atomic_ref(all[i].status).store(VRDThreadCaptureIdle);
    std::atomic_ref(all[i].tid).store(threads[i]);
  }
  std::atomic_ref(writable->captureRequested).store(count);
}

}  // namespace

void VRDThreadCaptureInitialize(VRDThreadCaptureContext* context) {
  context->signal = takeFreeSignal(0, &context->savedAction);
  if (VRDWritableContext* writable = VRDContextWritable()) std::atomic_ref(writable->captureSignal).store(context->signal);
  if (context->signal != 0) {
    VRDLogInfo("Threads are stopped with signal %d\n", context->signal);
  } else {
    VRDLogWarn("Error: no free real-time signal - other threads cannot be recorded\n");
  }
}

void VRDThreadCaptureRestore(const VRDThreadCaptureContext* context) noexcept {
  if (context->signal != 0) sigaction(context->signal, &context->savedAction, nullptr);
  VRDWritableContext* writable = VRDContextWritable();
  const int taken = writable != nullptr ? std::atomic_ref(writable->captureSignal).load() : 0;
  // A signal taken at capture time had the default action.
  if (taken != 0 && taken != context->signal && isOurs(taken)) signal(taken, SIG_DFL);
}

int VRDThreadCaptureCurrentSignal() noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr) return 0;
  const int chosen = std::atomic_ref(writable->captureSignal).load();
  // None chosen: no handlers were wanted (a debugger), or none was free.
  if (chosen == 0 || isOurs(chosen)) return chosen;
  VRDLogWarn("Signal %d has another handler now - looking for a free one\n", chosen);
  struct sigaction unused {};
  const int taken = takeFreeSignal(chosen, &unused);
  std::atomic_ref(writable->captureSignal).store(taken);
  if (taken != 0) {
    VRDLogWarn("Threads are stopped with signal %d\n", taken);
  } else {
    VRDLogWarn("Error: no free real-time signal - other threads cannot be recorded\n");
  }
  return taken;
}

std::uint32_t VRDThreadCaptureStop(const std::int32_t* threads, std::uint32_t count, std::int32_t except,
                                   std::uint32_t* asked) noexcept {
  *asked = 0;
  VRDWritableContext* writable = VRDContextWritable();
  VRDThreadCaptureSlot* all = slots();
  if (writable == nullptr || all == nullptr) return 0;
  const int signal = VRDThreadCaptureCurrentSignal();
  if (signal == 0) return 0;
  if (count > VRDProcessMaximumThreads) count = VRDProcessMaximumThreads;
  prepareSlots(writable, all, threads, count);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (threads[i] != except) std::atomic_ref(all[i].status).store(VRDThreadCaptureRequested);
  }
  return askAndWait(writable, all, count, signal, VRDThreadCaptureWaitMilliseconds, "stop", asked);
}

void VRDThreadCaptureGiveAltStacks(const std::int32_t* threads, void* const* stacks, std::uint32_t* outcomes,
                                   std::uint32_t count, long waitMilliseconds) noexcept {
  for (std::uint32_t i = 0; i < count; ++i) outcomes[i] = VRDThreadCaptureFailed;
  VRDWritableContext* writable = VRDContextWritable();
  VRDThreadCaptureSlot* all = slots();
  if (writable == nullptr || all == nullptr) return;
  const int signal = VRDThreadCaptureCurrentSignal();
  if (signal == 0) return;
  if (count > VRDProcessMaximumThreads) count = VRDProcessMaximumThreads;
  prepareSlots(writable, all, threads, count);
  const std::int32_t self = VRDCurrentThreadID();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (threads[i] == self || stacks[i] == nullptr) continue;
    all[i].altStack = stacks[i];
    std::atomic_ref(all[i].status).store(VRDThreadCaptureAltStackRequested);
  }
  std::uint32_t asked = 0;
  askAndWait(writable, all, count, signal, waitMilliseconds, "take an alternate stack", &asked);
  for (std::uint32_t i = 0; i < count; ++i) outcomes[i] = std::atomic_ref(all[i].status).load();
  // A late answer finds nothing asked and leaves its stack alone.
  std::atomic_ref(writable->captureRequested).store(0);
}

bool VRDThreadCaptureGetState(std::int32_t tid, VRDThreadState* out) noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  VRDThreadCaptureSlot* all = slots();
  if (writable == nullptr || all == nullptr) return false;
  std::uint32_t count = std::atomic_ref(writable->captureRequested).load();
  if (count > VRDProcessMaximumThreads) count = VRDProcessMaximumThreads;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (std::atomic_ref(all[i].tid).load() != tid) continue;
    if (std::atomic_ref(all[i].status).load() != VRDThreadCaptureCaptured) return false;
    std::memcpy(out, &all[i].state, sizeof *out);
    return true;
  }
  return false;
}

void VRDThreadCaptureRelease() noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr) return;
  std::atomic_ref(writable->captureRelease).fetch_add(1);
  futexWake(&writable->captureRelease);
}

}  // namespace crashreporting
