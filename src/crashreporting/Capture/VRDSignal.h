#pragma once

#include <signal.h>

#include <cstddef>
#include <functional>

#include "crashreporting/Capture/VRDContext.h"

// The signal catcher: handlers for seven fatal signals on a 256 KiB alternate stack. A handled signal writes
// `signal.vrdrecord` (the `signal` line, then the crash lines of VRDHandler), puts the previous actions back
// and lets the process die as it would have: a fault re-occurs by itself; a signal that was sent (kill, raise,
// tgkill, abort) or does not re-occur (a breakpoint trap) is raised again. Signal numbers are Linux's own.

namespace crashreporting {

/// The signal table, in order.
inline constexpr int VRDSignals[VRDSignalCount] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP};

/// "SIGILL", "SIGTRAP", "SIGABRT", "SIGFPE", "SIGBUS", "SIGSEGV", "SIGSYS"; "UNKNOWN" for any other number.
const char* VRDSignalName(int signal) noexcept;
/// "ABORT" for SIGABRT; null for the others.
const char* VRDSignalCodeName(int signal) noexcept;

/// Set-up: removes the old record, installs the alternate stack on the calling thread, installs the handler
/// for each table signal (empty mask, SA_SIGINFO | SA_ONSTACK) and keeps the previous actions.
void VRDSignalInitialize(VRDSignalContext* context);
/// The installed action.
void VRDSignalHandler(int signal, siginfo_t* info, void* userContext);
/// The default action for the table's signals (all but SIGABRT when `all` is false).
void VRDSignalSafeRemoveHandlers(bool all) noexcept;
/// Removes the handlers, then reinstalls the saved alternate stack and every saved action. False when any of
/// them could not be put back (the others still are).
bool VRDSignalSafeInstallPreexistingHandlers(const VRDSignalContext* context) noexcept;
/// Writes to standard error about each table signal whose handler is not ours (nothing with a debugger).
void VRDSignalCheckHandlers();
/// Calls `step` with (index, signal) for each table entry in order.
void VRDSignalEnumerate(const std::function<void(std::size_t index, int signal)>& step);

/// Gives the calling thread a 256 KiB alternate signal stack of its own (every thread started with
/// pthread_create gets one this way once capture has started, see VRDThreadStart.h); true when the thread has one. The stack lives until
/// VRDSignalRemoveAltStackFromCurrentThread or the process ends.
bool VRDSignalInstallAltStackOnCurrentThread();
/// Takes back a stack given by VRDSignalInstallAltStackOnCurrentThread (call before the thread ends).
void VRDSignalRemoveAltStackFromCurrentThread();

/// The top of an alternate stack that a crash capture uses (the kernel's signal frame and the handler's own
/// frames; the unwinder's cache is the context's): faulted in for the set-up thread's stack, so a crash there
/// takes no page fault for them. A thread's own stack is left cold: faulting it in would cost every thread
/// start more than the few faults cost the one crash.
inline constexpr std::size_t VRDAltStackWarmSize = 16 * 1024;
/// Faults in the top VRDAltStackWarmSize bytes of the VRDAltStackSize-byte stack at `stack` (writing zeros
/// where the kernel cannot populate them itself): call it before the stack is in use.
void VRDSignalWarmAltStack(void* stack) noexcept;
/// A 256 KiB alternate stack with a guard page below it (mmap); null when it cannot be mapped.
void* VRDSignalMapAltStack() noexcept;
/// Unmaps a stack of VRDSignalMapAltStack.
void VRDSignalUnmapAltStack(void* stack) noexcept;

/// The `signal` line; `info` counts as present when it is at least 4096.
void VRDSignalRecordLine(VRDFile* file, int signal, const siginfo_t* info, int savedErrno, std::int64_t time) noexcept;
/// Whether returning from the handler makes `signal` happen again (a fault raised by the kernel).
bool VRDSignalReoccursByItself(int signal, const siginfo_t* info) noexcept;

/// How long a second crashing thread waits for the first record before it ends the process.
inline constexpr long VRDSecondCrashWaitMilliseconds = 5000;

}  // namespace crashreporting
