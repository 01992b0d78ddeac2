#include "crashreporting/Capture/VRDHandler.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDLoadedImages.h"
#include "crashreporting/Capture/VRDProcessStats.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDThreadCapture.h"
#include "crashreporting/Capture/VRDThreadList.h"
#include "crashreporting/Capture/VRDUnwind.h"
#include "crashreporting/platform/QueueThreadTable.h"

namespace crashreporting {
namespace {

void writeRegisters(VRDFile* file, const VRDThreadState& state) noexcept {
  VRDFileWriteHashKey(file, "registers");
  VRDFileWriteHashStart(file);
  for (std::size_t i = 0; i < VRDGeneralRegisterCount; ++i) {
    VRDFileWriteHashEntryUint64(file, VRDGeneralRegisterNames[i], state.registers[i]);
  }
  VRDFileWriteHashEnd(file);
}

std::int32_t logLevel() noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  return writable ? std::atomic_ref(writable->minimumLogLevel).load() : VRDLogLevelDebug;
}

void setLogLevel(std::int32_t level) noexcept {
  if (VRDWritableContext* writable = VRDContextWritable()) std::atomic_ref(writable->minimumLogLevel).store(level);
}

void writeEmptyThread(VRDFile* file) noexcept {
  VRDFileWriteHashStart(file);
  VRDFileWriteHashKey(file, "registers");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEnd(file);
  VRDFileWriteHashKey(file, "stacktrace");
  VRDFileWriteArrayStart(file);
  VRDFileWriteArrayEnd(file);
  VRDFileWriteHashEnd(file);
}

// One thread object; a thread whose state or unwind context cannot be had is written empty.
void recordThread(const VRDProcess* process, std::uint32_t index, VRDUnwindCache* cache, VRDFile* file) noexcept {
  VRDLogInfo("recording thread %d data\n", static_cast<int>(index));
  const std::int32_t thread = process->threadList[index];
  VRDThreadState state;
  if (!VRDProcessGetThreadState(process, thread, &state)) {
    VRDLogError("unable to get thread state\n");
    writeEmptyThread(file);
    return;
  }
  // A running thread could unmap what an earlier walk proved readable.
  if (!process->othersStopped) VRDUnwindCacheReset(cache);
  VRDUnwindContext unwind;
  if (!VRDUnwindInit(&unwind, &state, cache)) {
    VRDLogWarn("unable to init unwind context\n");
    writeEmptyThread(file);
    return;
  }
  // A thread recording itself starts from a return address of its own.
  unwind.pcIsReturnAddress = VRDProcessThreadStateIsFaked(process, thread);
  // The written frames whose address is the instruction itself, not a return address.
  std::uint32_t exactFrames[VRDExactFramesLimit];
  std::uint32_t exactCount = 0;
  std::uint32_t written = 0;
  VRDFileWriteHashStart(file);
  writeRegisters(file, state);
  VRDFileWriteHashKey(file, "stacktrace");
  VRDFileWriteArrayStart(file);
  const std::int32_t savedLevel = logLevel();
  bool cutting = false;
  std::uint64_t repeatedPC = 0;
  std::uint32_t repeatCount = 0;
  while (VRDUnwindNextFrame(&unwind)) {
    const std::uint64_t pc = VRDUnwindGetPC(&unwind);
    const std::uint32_t repeats = VRDUnwindGetFrameRepeatCount(&unwind);
    if (!cutting && repeats >= VRDRepeatedFrameThreshold) {
      VRDLogWarn("Possible infinite recursion - suppressing logging\n");
      setLogLevel(VRDLogLevelWarn);
      cutting = true;
      repeatedPC = pc;
      repeatCount = repeats;
      continue;
    }
    if (cutting && pc == repeatedPC) {
      repeatCount = repeats;
      continue;
    }
    if (cutting) setLogLevel(savedLevel);
    if (!VRDUnwindPCIsReturnAddress(&unwind) && exactCount < VRDExactFramesLimit) exactFrames[exactCount++] = written;
    VRDFileWriteArrayEntryUint64(file, pc);
    ++written;
  }
  VRDFileWriteArrayEnd(file);
  // Only where it differs from the usual: the first frame alone.
  if (written > 0 && !(exactCount == 1 && exactFrames[0] == 0)) {
    VRDFileWriteHashKey(file, "exact_frames");
    VRDFileWriteArrayStart(file);
    for (std::uint32_t i = 0; i < exactCount; ++i) VRDFileWriteArrayEntryUint64(file, exactFrames[i]);
    VRDFileWriteArrayEnd(file);
  }
  if (thread == process->crashedThread) VRDFileWriteHashEntryBoolean(file, "crashed", true);
  if (cutting) {
    VRDFileWriteHashEntryUint64(file, "repeated_pc", repeatedPC);
    VRDFileWriteHashEntryUint64(file, "repeat_count", repeatCount);
  }
  setLogLevel(savedLevel);
  VRDFileWriteHashEnd(file);
}

}  // namespace

bool VRDProcessInit(VRDProcess* process, std::int32_t crashedThread, const void* userContext) noexcept {
  if (process == nullptr) return false;
  process->task = getpid();
  process->currentThread = VRDCurrentThreadID();
  process->crashedThread = crashedThread;
  process->userContext = userContext;
  process->threadList = process->threads;
  process->allListed = false;
  process->othersStopped = false;
  const int listed = VRDThreadListRead(process->threads, VRDProcessMaximumThreads);
  if (listed <= 0) {
    VRDLogWarn("Error: unable to get task threads\n");
    process->threads[0] = crashedThread;
    process->threadCount = 1;
    return true;
  }
  process->threadCount = static_cast<std::uint32_t>(listed);
  process->allListed = process->threadCount < VRDProcessMaximumThreads;
  // A full list may have left out the crashed thread (or the one recording): they take the last places.
  for (const std::int32_t needed : {crashedThread, process->currentThread}) {
    bool listedAlready = false;
    for (std::uint32_t i = 0; i < process->threadCount && !listedAlready; ++i) listedAlready = process->threads[i] == needed;
    if (listedAlready) continue;
    if (process->threadCount < VRDProcessMaximumThreads) {
      process->threads[process->threadCount++] = needed;
      continue;
    }
    std::uint32_t place = process->threadCount - 1;
    if (needed == process->currentThread && place > 0 && process->threads[place] == crashedThread) --place;
    process->threads[place] = needed;
  }
  return true;
}

void VRDProcessDestroy(VRDProcess*) noexcept {}

bool VRDProcessSuspendAllOtherThreads(VRDProcess* process) noexcept {
  std::uint32_t asked = 0;
  const std::uint32_t answered =
      VRDThreadCaptureStop(process->threadList, process->threadCount, process->currentThread, &asked);
  process->othersStopped = answered == asked && process->allListed;
  return answered == asked;
}

bool VRDProcessResumeAllOtherThreads(VRDProcess*) noexcept {
  VRDThreadCaptureRelease();
  return true;
}

bool VRDProcessThreadStateIsFaked(const VRDProcess* process, std::int32_t thread) noexcept {
  const bool fromSignal = thread == process->crashedThread &&
                          reinterpret_cast<std::uintptr_t>(process->userContext) >= VRDMinimumValidAddress;
  return thread == process->currentThread && !fromSignal;
}

__attribute__((noinline)) bool VRDProcessGetThreadState(const VRDProcess* process, std::int32_t thread,
                                                        VRDThreadState* out) noexcept {
  if (reinterpret_cast<std::uintptr_t>(out) < VRDMinimumValidAddress) {
    VRDLogError("invalid context supplied\n");
    return false;
  }
  if (thread == process->crashedThread &&
      reinterpret_cast<std::uintptr_t>(process->userContext) >= VRDMinimumValidAddress) {
    return VRDThreadStateFromUserContext(process->userContext, out);
  }
  if (VRDProcessThreadStateIsFaked(process, thread)) {
    VRDLogWarn("Faking current thread\n");
    std::memset(out, 0, sizeof *out);
    // Asking for the frame's address gives this function a frame: the caller's RBP is the one saved in it (the
    // frame's own address, taken for the caller's, made a caller built with frame pointers unwind to itself).
    const auto* frame = static_cast<const std::uint64_t*>(__builtin_frame_address(0));
    out->registers[VRDRegisterRIP] = reinterpret_cast<std::uint64_t>(__builtin_return_address(0));
    out->registers[VRDRegisterRBP] = frame[0];
    out->registers[VRDRegisterRSP] = reinterpret_cast<std::uint64_t>(frame) + 16;
    return true;
  }
  if (VRDThreadCaptureGetState(thread, out)) return true;
  VRDLogError("failed to get thread state\n");
  return false;
}

namespace {

void recordThreadsWith(const VRDProcess* process, VRDUnwindCache* cache, VRDFile* file) noexcept {
  VRDUnwindCacheReset(cache);
  for (std::uint32_t i = 0; i < process->threadCount; ++i) recordThread(process, i, cache, file);
}

// Kept out of line: only a capture that cannot have the context's cache puts one on its own stack.
__attribute__((noinline)) void recordThreadsWithOwnCache(const VRDProcess* process, VRDFile* file) noexcept {
  VRDUnwindCache cache;
  recordThreadsWith(process, &cache, file);
}

}  // namespace

bool VRDProcessRecordAllThreads(const VRDProcess* process, VRDFile* file) noexcept {
  VRDFileWriteSectionStart(file, "threads");
  VRDFileWriteArrayStart(file);
  if (VRDUnwindCache* shared = VRDContextTakeUnwindCache(); shared != nullptr) {
    recordThreadsWith(process, shared, file);
    VRDContextReturnUnwindCache();
  } else {
    recordThreadsWithOwnCache(process, file);
  }
  VRDFileWriteArrayEnd(file);
  VRDFileWriteSectionEnd(file);
  VRDLogInfo("completed recording all thread data\n");
  return true;
}

void VRDProcessRecordRuntimeInfo(const VRDProcess*, VRDFile* file) noexcept {
  VRDFileWriteSectionStart(file, "runtime");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryString(file, "objc_selector", "");
  VRDFileWriteHashKey(file, "crash_info_entries");
  VRDFileWriteArrayStart(file);
  VRDFileWriteArrayEnd(file);
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

void VRDProcessRecordDispatchQueueNames(const VRDProcess* process, VRDFile* file) noexcept {
  VRDFileWriteSectionStart(file, "dispatch_queue_names");
  VRDFileWriteArrayStart(file);
  for (std::uint32_t i = 0; i < process->threadCount; ++i) {
    char label[QueueThreadLabelSize];
    VRDFileWriteArrayEntryString(file, QueueThreadTableLabel(process->threadList[i], label) ? label : "");
  }
  VRDFileWriteArrayEnd(file);
  VRDFileWriteSectionEnd(file);
}

void VRDProcessRecordThreadNames(const VRDProcess* process, VRDFile* file) noexcept {
  VRDFileWriteSectionStart(file, "thread_names");
  VRDFileWriteArrayStart(file);
  for (std::uint32_t i = 0; i < process->threadCount; ++i) {
    char name[64];
    VRDThreadGetName(process->threadList[i], name, sizeof name);
    VRDFileWriteArrayEntryString(file, name);
  }
  VRDFileWriteArrayEnd(file);
  VRDFileWriteSectionEnd(file);
}

void VRDHandler(VRDFile* file, std::int32_t crashedThread, const void* userContext) noexcept {
  VRDProcess process;
  VRDProcessInit(&process, crashedThread, userContext);
  if (!VRDProcessSuspendAllOtherThreads(&process)) VRDLogWarn("Not every thread could be stopped\n");
  // Before any walk: an image loaded a moment ago is unwound with its own tables.
  VRDLoadedImagesCatchUp();
  VRDProcessRecordAllThreads(&process, file);
  VRDProcessRecordRuntimeInfo(&process, file);
  VRDProcessRecordDispatchQueueNames(&process, file);
  VRDProcessRecordThreadNames(&process, file);
  VRDProcessRecordStats(file);
  VRDHostRecordStorage(file);
  VRDProcessResumeAllOtherThreads(&process);
  VRDProcessDestroy(&process);
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (readOnly != nullptr && reinterpret_cast<std::uintptr_t>(readOnly->crashCallbackTarget) >= VRDMinimumValidAddress) {
    VRDLogWarn("Performing syncrhonous crash callback - hold onto your butts\n");
    readOnly->crashCallbackTarget->deliverCrashDelegateCallback();
  }
}

}  // namespace crashreporting
