#pragma once

#include <sys/types.h>

#include <cstdint>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDThreadState.h"

// The crash entry: after a catcher has written the first line of a fatal record, VRDHandler stops the other
// threads (VRDThreadCapture) and appends the state of the whole process: every thread's registers and unwound
// stack (a run of one repeated frame, deep recursion, cut short), the runtime line, the queue and thread names,
// memory and CPU figures, and free storage; then lets the threads go on.

namespace crashreporting {

/// Receives the synchronous crash callback, on the crashed thread, before the record is closed.
class VRDCrashCallbackTarget {
 public:
  virtual void deliverCrashDelegateCallback() noexcept = 0;

 protected:
  ~VRDCrashCallbackTarget() = default;
};

/// At most this many `exact_frames` are recorded per thread.
inline constexpr std::uint32_t VRDExactFramesLimit = 64;
/// A run of this many repeats of one frame is cut.
inline constexpr std::uint32_t VRDRepeatedFrameThreshold = 10;

/// Held on the handler's stack.
struct VRDProcess {
  pid_t task;
  std::int32_t currentThread;  // the thread running the handler
  std::int32_t crashedThread;
  const std::int32_t* threadList;
  std::uint32_t threadCount;
  const void* userContext;  // the signal's ucontext, or null
  bool allListed;           // the list holds every thread of the process
  bool othersStopped;       // all threads were listed and every other one answered the stop
  std::int32_t threads[VRDProcessMaximumThreads];  // the list's storage
};

/// Lists the process's threads (/proc/self/task). When they cannot be listed the crashed thread stands alone
/// (WARN "Error: unable to get task threads").
bool VRDProcessInit(VRDProcess* process, std::int32_t crashedThread, const void* userContext) noexcept;
void VRDProcessDestroy(VRDProcess* process) noexcept;
/// Stops every listed thread but the current one; true when all of them answered in time.
bool VRDProcessSuspendAllOtherThreads(VRDProcess* process) noexcept;
bool VRDProcessResumeAllOtherThreads(VRDProcess* process) noexcept;
/// The crashed thread's state from the user context; the current thread's faked at the caller's frame (rip =
/// return address, rbp = the caller's RBP saved in this frame, rsp = frame + 16); another thread's as it gave it
/// when stopped.
bool VRDProcessGetThreadState(const VRDProcess* process, std::int32_t thread, VRDThreadState* out) noexcept;
/// Whether `thread`'s state is faked at the caller's frame (the current thread, unless it is the crashed one with
/// a signal's ucontext): its first frame is then a return address.
bool VRDProcessThreadStateIsFaked(const VRDProcess* process, std::int32_t thread) noexcept;
/// The `threads` line: one object per listed thread with `registers`, `stacktrace`, `crashed` for the crashed
/// thread, and `repeated_pc`/`repeat_count` when a repeated frame was cut. `exact_frames` lists the indices of
/// the frames whose address is an interrupted instruction rather than a return address, when that is not just
/// the first frame (a thread recording itself: none; a walk through a signal frame: also the frame after it);
/// symbolication looks up every other frame one byte before its address. A thread whose state cannot be had
/// keeps its place as {"registers":{},"stacktrace":[]}; the line is always complete. The walks share their
/// proofs and lookups while every other thread is stopped; otherwise each walk starts afresh.
bool VRDProcessRecordAllThreads(const VRDProcess* process, VRDFile* file) noexcept;
/// {"runtime":{"objc_selector":"","crash_info_entries":[]}}: Linux has no message-send selector to probe and ELF
/// images carry no crash-info section.
void VRDProcessRecordRuntimeInfo(const VRDProcess* process, VRDFile* file) noexcept;
/// The label of the library queue each thread serves ("" for none), in list order.
void VRDProcessRecordDispatchQueueNames(const VRDProcess* process, VRDFile* file) noexcept;
/// Each thread's name ("" when unnamed or gone), in list order.
void VRDProcessRecordThreadNames(const VRDProcess* process, VRDFile* file) noexcept;

/// The crash entry: records the process into `file`, then runs the crash callback when one is set.
void VRDHandler(VRDFile* file, std::int32_t crashedThread, const void* userContext) noexcept;

}  // namespace crashreporting
