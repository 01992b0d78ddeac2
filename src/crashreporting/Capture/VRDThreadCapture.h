#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDThreadState.h"

// Stopping the other threads at crash time and taking their registers. Linux offers no call that reads another
// thread's registers from inside the process, so the crashing thread asks each thread itself: it sends it a
// real-time signal (chosen at set-up among those no one handles, so a host using one is not disturbed; checked
// again at capture time, since a host may take it later) whose handler, installed at set-up, copies the thread's ucontext into that thread's pre-placed slot, counts itself
// answered and parks on a futex until released. The crashing thread waits a bounded time for the answers; a
// thread that blocks the signal, or has exited, simply never answers and is recorded without a state. No heap,
// no locks: raw tgkill and futex calls on words of the writable context.

namespace crashreporting {

enum VRDThreadCaptureStatus : std::uint32_t {
  VRDThreadCaptureIdle = 0,
  VRDThreadCaptureRequested = 1,
  VRDThreadCaptureCaptured = 2,
  VRDThreadCaptureFailed = 3,
  /// Set-up asks a thread that was running before the capture started to take the alternate stack in `altStack`.
  VRDThreadCaptureAltStackRequested = 4,
  VRDThreadCaptureAltStackTaken = 5,
  VRDThreadCaptureAltStackHadOne = 6,
};

struct VRDThreadCaptureSlot {
  std::int32_t tid;
  std::uint32_t status;  // VRDThreadCaptureStatus
  VRDThreadState state;
  void* altStack;  // VRDAltStackSize bytes, for VRDThreadCaptureAltStackRequested
};

/// How long the crashing thread waits, in all, for the threads it asked.
inline constexpr long VRDThreadCaptureWaitMilliseconds = 1000;

/// Set-up: picks the highest real-time signal whose action is the default, installs the handler for it and
/// keeps the action it had; signal 0 when every one is taken.
void VRDThreadCaptureInitialize(VRDThreadCaptureContext* context);
/// The signal a capture would stop threads with now. When the host has installed its own action for the
/// chosen one since, the highest real-time signal whose action is still the default is taken instead (and our
/// handler installed on it); 0 when none is free, or set-up chose none. Async-signal-safe.
int VRDThreadCaptureCurrentSignal() noexcept;
/// Puts back the action the chosen signal had (a test process that builds contexts one after another).
void VRDThreadCaptureRestore(const VRDThreadCaptureContext* context) noexcept;

/// Asks each of the `count` threads except `except` for its state and waits, up to the bound, for them to
/// answer; returns how many answered of how many were asked (`asked`).
std::uint32_t VRDThreadCaptureStop(const std::int32_t* threads, std::uint32_t count, std::int32_t except,
                                   std::uint32_t* asked) noexcept;
/// The state thread `tid` gave; false when it was not asked or has not answered.
bool VRDThreadCaptureGetState(std::int32_t tid, VRDThreadState* out) noexcept;
/// Lets the parked threads go on.
void VRDThreadCaptureRelease() noexcept;

/// Set-up: asks each of the `count` threads (but the caller) to take the stack at `stacks[i]` as its alternate
/// signal stack and waits up to `waitMilliseconds` for the answers. `outcomes[i]` is AltStackTaken, AltStackHadOne,
/// Failed (gone, or refused: the stack is unused), Idle (not asked) or still AltStackRequested (no answer: the
/// thread blocks the signal or is slow, and may yet take the stack). Not at crash time.
void VRDThreadCaptureGiveAltStacks(const std::int32_t* threads, void* const* stacks, std::uint32_t* outcomes,
                                   std::uint32_t count, long waitMilliseconds) noexcept;

}  // namespace crashreporting
