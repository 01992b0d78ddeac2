#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDThreadState.h"

// Stopping the other threads at crash time and taking their registers. Linux offers no call that reads another
// thread's registers from inside the process, so the crashing thread asks each thread itself: it sends it a
// real-time signal (chosen at set-up among those no one handles, so a host using one is not disturbed) whose
// handler, installed at set-up, copies the thread's ucontext into that thread's pre-placed slot, counts itself
// answered and parks on a futex until released. The crashing thread waits a bounded time for the answers; a
// thread that blocks the signal, or has exited, simply never answers and is recorded without a state. No heap,
// no locks: raw tgkill and futex calls on words of the writable context.

namespace crashreporting {

enum VRDThreadCaptureStatus : std::uint32_t {
  VRDThreadCaptureIdle = 0,
  VRDThreadCaptureRequested = 1,
  VRDThreadCaptureCaptured = 2,
  VRDThreadCaptureFailed = 3,
};

struct VRDThreadCaptureSlot {
  std::int32_t tid;
  std::uint32_t status;  // VRDThreadCaptureStatus
  VRDThreadState state;
};

/// How long the crashing thread waits, in all, for the threads it asked.
inline constexpr long VRDThreadCaptureWaitMilliseconds = 1000;

/// Set-up: picks the highest real-time signal whose action is the default, installs the handler for it and
/// keeps the action it had; signal 0 when every one is taken.
void VRDThreadCaptureInitialize(VRDThreadCaptureContext* context);
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

}  // namespace crashreporting
