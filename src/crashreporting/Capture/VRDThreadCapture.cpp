#include "crashreporting/Capture/VRDThreadCapture.h"

#include <linux/futex.h>
#include <signal.h>
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
      if (std::atomic_ref(slot.tid).load() != self ||
          std::atomic_ref(slot.status).load() != VRDThreadCaptureRequested) {
        continue;
      }
      VRDThreadStateFromUserContext(userContext, &slot.state);
      std::atomic_ref(slot.status).store(VRDThreadCaptureCaptured);
      std::atomic_ref(writable->captureAnswered).fetch_add(1);
      futexWake(&writable->captureAnswered);
      while (std::atomic_ref(writable->captureRelease).load() == 0) futexWait(&writable->captureRelease, 0, nullptr);
      break;
    }
  }
  errno = savedErrno;
}

}  // namespace

void VRDThreadCaptureInitialize(VRDThreadCaptureContext* context) {
  context->signal = 0;
  for (int signal = SIGRTMAX; signal >= SIGRTMIN; --signal) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    // Nothing else interrupts the copy; the handler parks on the alternate stack where the thread has one.
    sigfillset(&action.sa_mask);
    action.sa_sigaction = captureHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    if (sigaction(signal, &action, &context->savedAction) != 0) continue;
    context->signal = signal;
    VRDLogInfo("Threads are stopped with signal %d\n", signal);
    return;
  }
  VRDLogWarn("Error: no free real-time signal - other threads cannot be recorded\n");
}

void VRDThreadCaptureRestore(const VRDThreadCaptureContext* context) noexcept {
  if (context->signal != 0) sigaction(context->signal, &context->savedAction, nullptr);
}

std::uint32_t VRDThreadCaptureStop(const std::int32_t* threads, std::uint32_t count, std::int32_t except,
                                   std::uint32_t* asked) noexcept {
  *asked = 0;
  VRDWritableContext* writable = VRDContextWritable();
  VRDThreadCaptureSlot* all = slots();
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (writable == nullptr || all == nullptr || readOnly->threadCapture.signal == 0) return 0;
  if (count > VRDProcessMaximumThreads) count = VRDProcessMaximumThreads;
  std::atomic_ref(writable->captureRelease).store(0);
  std::atomic_ref(writable->captureAnswered).store(0);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::atomic_ref(all[i].status).store(VRDThreadCaptureIdle);
    std::atomic_ref(all[i].tid).store(threads[i]);
  }
  std::atomic_ref(writable->captureRequested).store(count);
  const pid_t pid = getpid();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (threads[i] == except) continue;
    std::atomic_ref(all[i].status).store(VRDThreadCaptureRequested);
    if (syscall(SYS_tgkill, pid, threads[i], readOnly->threadCapture.signal) != 0) {
      // Gone since the listing.
      std::atomic_ref(all[i].status).store(VRDThreadCaptureFailed);
      VRDLogWarn("Unable to stop thread %d (%s)\n", threads[i], VRDErrorText(errno));
      continue;
    }
    ++*asked;
  }
  const std::int64_t deadline = nowNanoseconds() + VRDThreadCaptureWaitMilliseconds * 1000000;
  std::uint32_t answered;
  while ((answered = std::atomic_ref(writable->captureAnswered).load()) < *asked) {
    const std::int64_t left = deadline - nowNanoseconds();
    if (left <= 0) {
      VRDLogWarn("Error: %u of %u threads did not stop in time\n", *asked - answered, *asked);
      break;
    }
    const timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    futexWait(&writable->captureAnswered, answered, &wait);
  }
  return answered;
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
  std::atomic_ref(writable->captureRelease).store(1);
  futexWake(&writable->captureRelease);
}

}  // namespace crashreporting
