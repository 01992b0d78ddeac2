#include "crashreporting/Capture/VRDSignal.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "crashreporting/Capture/VRDHandler.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUtilities.h"

namespace crashreporting {
namespace {

// The stack VRDSignalInstallAltStackOnCurrentThread mapped for this thread.
thread_local void* ownAltStack = nullptr;

bool installAltStack(VRDSignalContext* context) {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (readOnly == nullptr || readOnly->signalStack == nullptr) return false;
  stack_t stack{};
  stack.ss_sp = readOnly->signalStack;
  stack.ss_size = VRDAltStackSize;
  stack_t previous{};
  if (sigaltstack(&stack, &previous) != 0) {
    VRDLogWarn("Unable to setup stack %s\n", VRDErrorText(errno));
    return false;
  }
  if ((previous.ss_flags & SS_DISABLE) == 0) context->savedAltStack = previous;
  return true;
}

// Waits, in 1 ms steps, for the first crashing thread to complete its record.
void waitForFirstRecord() noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr) return;
  const timespec step{0, 1000000};
  for (long waited = 0; waited < VRDSecondCrashWaitMilliseconds; ++waited) {
    if (std::atomic_ref(writable->recordComplete).load() != 0) return;
    nanosleep(&step, nullptr);
  }
}

// Puts the earlier actions back and lets the signal take its course: a fault recurs when the handler returns,
// a sent signal or a trap is raised again.
void endBySignal(const VRDReadOnlyContext* readOnly, int signal, const siginfo_t* info, int savedErrno) noexcept {
  VRDSignalSafeRemoveHandlers(true);
  if (readOnly != nullptr) VRDSignalSafeInstallPreexistingHandlers(&readOnly->signal);
  if (!VRDSignalReoccursByItself(signal, info)) syscall(SYS_tgkill, getpid(), VRDCurrentThreadID(), signal);
  errno = savedErrno;
}

}  // namespace

const char* VRDSignalName(int signal) noexcept {
  switch (signal) {
    case SIGILL: return "SIGILL";
    case SIGTRAP: return "SIGTRAP";
    case SIGABRT: return "SIGABRT";
    case SIGFPE: return "SIGFPE";
    case SIGBUS: return "SIGBUS";
    case SIGSEGV: return "SIGSEGV";
    case SIGSYS: return "SIGSYS";
    default: return "UNKNOWN";
  }
}

const char* VRDSignalCodeName(int signal) noexcept { return signal == SIGABRT ? "ABORT" : nullptr; }

void VRDSignalInitialize(VRDSignalContext* context) {
  if (!VRDUnlinkIfExists(context->recordPath)) VRDLogWarn("Unable to reset the signal log file %s\n", VRDErrorText(errno));
  installAltStack(context);
  for (std::size_t i = 0; i < VRDSignalCount; ++i) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_sigaction = VRDSignalHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    struct sigaction previous {};
    if (sigaction(VRDSignals[i], &action, &previous) != 0) {
      VRDLogWarn("Unable to install handler for %d (%s)\n", VRDSignals[i], VRDErrorText(errno));
      continue;
    }
    // Our own handler (a second set-up in one process) is nothing to go back to.
    const bool ours = (previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction == VRDSignalHandler;
    if (previous.sa_handler != SIG_DFL && !ours) context->savedActions[i] = previous;
  }
}

void VRDSignalRecordLine(VRDFile* file, int signal, const siginfo_t* info, int savedErrno, std::int64_t time) noexcept {
  VRDFileWriteSectionStart(file, "signal");
  VRDFileWriteHashStart(file);
  if (reinterpret_cast<std::uintptr_t>(info) >= VRDMinimumValidAddress) {
    VRDFileWriteHashEntryUint64(file, "number", static_cast<std::uint64_t>(info->si_signo));
    VRDFileWriteHashEntryInt64(file, "code", info->si_code);
    VRDFileWriteHashEntryUint64(file, "address", reinterpret_cast<std::uint64_t>(info->si_addr));
    VRDFileWriteHashEntryString(file, "name", VRDSignalName(signal));
    VRDFileWriteHashEntryString(file, "code_name", VRDSignalCodeName(signal));
  }
  VRDFileWriteHashEntryInt64(file, "errno", savedErrno);
  VRDFileWriteHashEntryInt64(file, "time", time);
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

bool VRDSignalReoccursByItself(int signal, const siginfo_t* info) noexcept {
  if (reinterpret_cast<std::uintptr_t>(info) < VRDMinimumValidAddress || info->si_code <= 0) return false;
  return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE;
}

void VRDSignalHandler(int signal, siginfo_t* info, void* userContext) {
  const int savedErrno = errno;
  errno = 0;
  // A child forked without exec: the report folder is its parent's, so its crash is not recorded there.
  if (const VRDReadOnlyContext* inherited = VRDContextReadOnly(); inherited != nullptr && VRDContextIsForeignProcess()) {
    endBySignal(inherited, signal, info, savedErrno);
    return;
  }
  VRDLogWarn("Signal: %d\n", signal);
  sigset_t all;
  sigfillset(&all);
  if (pthread_sigmask(SIG_UNBLOCK, &all, nullptr) != 0) {
    VRDLogWarn("Unable to unmask signals - we risk infinite recursion here\n");
  }
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (readOnly != nullptr) {
    // Our handlers stay in place while the record is written: a second thread that faults meanwhile comes here
    // and waits instead of ending the process under the first.
    if (VRDContextMarkAndCheckIfCrashed()) {
      VRDLogWarn("Error: aborting signal handler because crash has already occurred\n");
      const VRDWritableContext* writable = VRDContextWritable();
      // A fault inside this thread's own record ends the process at once.
      if (std::atomic_ref(const_cast<VRDWritableContext*>(writable)->crashedThread).load() == VRDCurrentThreadID()) {
        _exit(1);
      }
      // Another thread's crash: once its record is written this one ends the process the way its own signal
      // does, as the first one will, so whichever gets there first the parent sees a crash, not an exit.
      waitForFirstRecord();
      endBySignal(readOnly, signal, info, savedErrno);
      return;
    }
    // An exception being recorded on another thread is finished first; signals are unmasked, so that thread
    // can still stop this one while it waits. Past the wait the record is written all the same.
    const VRDRecorderClaim claim = VRDContextClaimRecorder();
    VRDFile file;
    if (!VRDFileInitWithPath(&file, readOnly->signal.recordPath, false)) {
      VRDLogWarn("Unable to open signal file\n");
    } else {
      VRDSignalRecordLine(&file, signal, info, savedErrno, static_cast<std::int64_t>(std::time(nullptr)));
      const void* context = reinterpret_cast<std::uintptr_t>(userContext) >= VRDMinimumValidAddress ? userContext : nullptr;
      VRDHandler(&file, VRDCurrentThreadID(), context);
      VRDFileClose(&file);
    }
    std::atomic_ref(VRDContextWritable()->recordComplete).store(1);
    VRDContextReleaseRecorder(claim);
  }
  endBySignal(readOnly, signal, info, savedErrno);
}

void VRDSignalSafeRemoveHandlers(bool all) noexcept {
  for (std::size_t i = all ? 0 : 1; i < VRDSignalCount; ++i) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = SIG_DFL;
    if (sigaction(VRDSignals[i], &action, nullptr) != 0) {
      VRDLogWarn("Unable to set default handler for %d (%s)\n", VRDSignals[i], VRDErrorText(errno));
    }
  }
}

bool VRDSignalSafeInstallPreexistingHandlers(const VRDSignalContext* context) noexcept {
  VRDSignalSafeRemoveHandlers(true);
  bool ok = true;
  if (context->savedAltStack.ss_sp != nullptr) {
    // Refused while this thread runs on the alternate stack; the actions are put back all the same.
    if (sigaltstack(&context->savedAltStack, nullptr) != 0) {
      VRDLogWarn("Unable to setup stack %s\n", VRDErrorText(errno));
      ok = false;
    }
  }
  for (std::size_t i = 0; i < VRDSignalCount; ++i) {
    if (context->savedActions[i].sa_handler == SIG_DFL) continue;
    if (sigaction(VRDSignals[i], &context->savedActions[i], nullptr) != 0) {
      VRDLogWarn("Unable to install handler for %d (%s)\n", VRDSignals[i], VRDErrorText(errno));
      ok = false;
    }
  }
  return ok;
}

void VRDSignalCheckHandlers() {
  if (VRDContextIsDebuggerAttached()) return;
  for (const int signal : VRDSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) {
      std::fputs("Unable to read signal handler\n", stderr);
      continue;
    }
    if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == VRDSignalHandler) continue;
    const void* handler = (current.sa_flags & SA_SIGINFO) != 0 ? reinterpret_cast<const void*>(current.sa_sigaction)
                                                                : reinterpret_cast<const void*>(current.sa_handler);
    const char* symbol = nullptr;
    VRDDladdrInfo(reinterpret_cast<std::uint64_t>(handler), [&](const char* name, const char*) { symbol = name; });
    std::fprintf(stderr, "[Vuveradarad] The signal %s has a non-Vuveradarad handler (%s).  This will interfere with reporting.\n",
                 VRDSignalName(signal), symbol ? symbol : "(null)");
  }
}

void VRDSignalEnumerate(const std::function<void(std::size_t, int)>& step) {
  for (std::size_t i = 0; i < VRDSignalCount; ++i) step(i, VRDSignals[i]);
}

static_assert(VRDAltStackWarmSize <= VRDAltStackSize);

void VRDSignalWarmAltStack(void* stack) noexcept {
  if (stack == nullptr) return;
  const std::size_t page = VRDHostGetPageSize();
  const std::size_t size = (VRDAltStackWarmSize + page - 1) / page * page;
  char* const top = static_cast<char*>(stack) + VRDAltStackSize;
  char* const from = top - size;
  // One call for all of the pages where the kernel has it; otherwise a write to each.
  if (madvise(from, size, MADV_POPULATE_WRITE) == 0) return;
  for (char* at = from; at < top; at += page) *static_cast<volatile char*>(at) = 0;
}

void* VRDSignalMapAltStack() noexcept {
  const std::size_t page = VRDHostGetPageSize();
  void* mapping = mmap(nullptr, VRDAltStackSize + page, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  // A guard page below, so an overflow of the handler's own stack faults instead of writing past it.
  mprotect(mapping, page, PROT_NONE);
  return static_cast<char*>(mapping) + page;
}

void VRDSignalUnmapAltStack(void* stack) noexcept {
  if (stack == nullptr) return;
  const std::size_t page = VRDHostGetPageSize();
  munmap(static_cast<char*>(stack) - page, VRDAltStackSize + page);
}

bool VRDSignalInstallAltStackOnCurrentThread() {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) return true;
  void* mapped = VRDSignalMapAltStack();
  if (mapped == nullptr) return false;
  stack_t stack{};
  stack.ss_sp = mapped;
  stack.ss_size = VRDAltStackSize;
  if (sigaltstack(&stack, nullptr) != 0) {
    VRDLogWarn("Unable to setup stack %s\n", VRDErrorText(errno));
    VRDSignalUnmapAltStack(mapped);
    return false;
  }
  ownAltStack = mapped;
  return true;
}

void VRDSignalRemoveAltStackFromCurrentThread() {
  if (ownAltStack == nullptr) return;
  stack_t disable{};
  disable.ss_flags = SS_DISABLE;
  if (sigaltstack(&disable, nullptr) != 0) return;
  VRDSignalUnmapAltStack(ownAltStack);
  ownAltStack = nullptr;
}

}  // namespace crashreporting
