#pragma once

#include <sys/types.h>

#include <cstdint>

#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDThreadState.h"

// The crash entry: after a catcher has written the first line of a fatal record, VRDHandler appends the state
// of the process. It records the crashed thread: its registers from the signal's ucontext and its stack,
// unwound frame by frame, with a run of one repeated frame (deep recursion) cut short.

namespace crashreporting {

/// Receives the synchronous crash callback, on the crashed thread, before the record is closed.
class VRDCrashCallbackTarget {
 public:
  virtual void deliverCrashDelegateCallback() noexcept = 0;

 protected:
  ~VRDCrashCallbackTarget() = default;
};

/// A run of this many repeats of one frame is cut.
inline constexpr std::uint32_t VRDRepeatedFrameThreshold = 10;

struct VRDProcess {
  pid_t task;
  std::int32_t currentThread;  // the thread running the handler
  std::int32_t crashedThread;
  const std::int32_t* threadList;
  std::uint32_t threadCount;
  const void* userContext;  // the signal's ucontext, or null
  std::int32_t threads[1];  // the list's storage
};

bool VRDProcessInit(VRDProcess* process, std::int32_t crashedThread, const void* userContext) noexcept;
void VRDProcessDestroy(VRDProcess* process) noexcept;
/// The crashed thread's state from the user context; the current thread's faked at the caller's frame (rip =
/// return address, rbp = frame address, rsp = frame + 16). False for any other thread.
bool VRDProcessGetThreadState(const VRDProcess* process, std::int32_t thread, VRDThreadState* out) noexcept;
/// The `threads` line: one object per listed thread with `registers`, `stacktrace`, `crashed` for the crashed
/// thread, and `repeated_pc`/`repeat_count` when a repeated frame was cut.
bool VRDProcessRecordAllThreads(const VRDProcess* process, VRDFile* file) noexcept;

/// The crash entry: records the process into `file`, then runs the crash callback when one is set.
void VRDHandler(VRDFile* file, std::int32_t crashedThread, const void* userContext) noexcept;

}  // namespace crashreporting
