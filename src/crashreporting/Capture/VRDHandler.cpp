#include "crashreporting/Capture/VRDHandler.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUnwind.h"

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

// One thread object; false when its state or unwind context cannot be had.
bool recordThread(const VRDProcess* process, std::uint32_t index, VRDFile* file) noexcept {
  VRDLogInfo("recording thread %d data\n", static_cast<int>(index));
  const std::int32_t thread = process->threadList[index];
  VRDThreadState state;
  if (!VRDProcessGetThreadState(process, thread, &state)) {
    VRDLogError("unable to get thread state\n");
    return false;
  }
  VRDUnwindContext unwind;
  if (!VRDUnwindInit(&unwind, &state)) {
    VRDLogWarn("unable to init unwind context\n");
    return false;
  }
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
    VRDFileWriteArrayEntryUint64(file, pc);
  }
  VRDFileWriteArrayEnd(file);
  if (thread == process->crashedThread) VRDFileWriteHashEntryBoolean(file, "crashed", true);
  if (cutting) {
    VRDFileWriteHashEntryUint64(file, "repeated_pc", repeatedPC);
    VRDFileWriteHashEntryUint64(file, "repeat_count", repeatCount);
  }
  setLogLevel(savedLevel);
  VRDFileWriteHashEnd(file);
  return true;
}

}  // namespace

bool VRDProcessInit(VRDProcess* process, std::int32_t crashedThread, const void* userContext) noexcept {
  if (process == nullptr) return false;
  std::memset(process, 0, sizeof *process);
  process->task = getpid();
  process->currentThread = VRDCurrentThreadID();
  process->crashedThread = crashedThread;
  process->userContext = userContext;
  // The crashed thread alone; the other threads join the list once they can be stopped and read.
  process->threads[0] = crashedThread;
  process->threadList = process->threads;
  process->threadCount = 1;
  return true;
}

void VRDProcessDestroy(VRDProcess*) noexcept {}

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
  if (thread == process->currentThread) {
    VRDLogWarn("Faking current thread\n");
    std::memset(out, 0, sizeof *out);
    const auto frame = reinterpret_cast<std::uint64_t>(__builtin_frame_address(0));
    out->registers[VRDRegisterRIP] = reinterpret_cast<std::uint64_t>(__builtin_return_address(0));
    out->registers[VRDRegisterRBP] = frame;
    out->registers[VRDRegisterRSP] = frame + 16;
    return true;
  }
  VRDLogError("failed to get thread state\n");
  return false;
}

bool VRDProcessRecordAllThreads(const VRDProcess* process, VRDFile* file) noexcept {
  VRDFileWriteSectionStart(file, "threads");
  VRDFileWriteArrayStart(file);
  for (std::uint32_t i = 0; i < process->threadCount; ++i) {
    if (!recordThread(process, i, file)) return false;
  }
  VRDFileWriteArrayEnd(file);
  VRDFileWriteSectionEnd(file);
  VRDLogInfo("completed recording all thread data\n");
  return true;
}

void VRDHandler(VRDFile* file, std::int32_t crashedThread, const void* userContext) noexcept {
  VRDProcess process;
  VRDProcessInit(&process, crashedThread, userContext);
  VRDProcessRecordAllThreads(&process, file);
  VRDProcessDestroy(&process);
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (readOnly != nullptr && reinterpret_cast<std::uintptr_t>(readOnly->crashCallbackTarget) >= VRDMinimumValidAddress) {
    VRDLogWarn("Performing syncrhonous crash callback - hold onto your butts\n");
    readOnly->crashCallbackTarget->deliverCrashDelegateCallback();
  }
}

}  // namespace crashreporting
