#include "crashreporting/Capture/VRDContext.h"

#include <sys/syscall.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "crashreporting/Capture/VRDAllocator.h"
#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDException.h"
#include "crashreporting/Capture/VRDHost.h"
#include "crashreporting/Capture/VRDMetadata.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSignal.h"
#include "crashreporting/Capture/VRDThreadCapture.h"
#include "crashreporting/Capture/VRDThreadStart.h"
#include "crashreporting/Capture/VRDUnwindCache.h"
#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/Capture/VRDUtilities.h"
#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

// Sizes asked of the allocator: the signal stack and the writable context; the read-only context and the
// copied path strings.
constexpr std::uint64_t kThreadSlotsSize = VRDProcessMaximumThreads * sizeof(VRDThreadCaptureSlot);
// Each block is rounded up to 16 bytes.
constexpr std::uint64_t kWritableSize =
    VRDAltStackSize + sizeof(VRDWritableContext) + kThreadSlotsSize + sizeof(VRDUnwindCache) + 64;
constexpr std::uint64_t kReadOnlySize = sizeof(VRDReadOnlyContext) + VRDContextStringSpace;

std::atomic<VRDAllocator*> gAllocator{nullptr};
std::atomic<VRDReadOnlyContext*> gReadOnly{nullptr};
std::atomic<VRDWritableContext*> gWritable{nullptr};

struct Queues {
  SerialQueue logging{std::string(kZIZReverseDNSPrefix) + ".logging"};
  SerialQueue binaryImages{std::string(kZIZReverseDNSPrefix) + ".binary-images"};
};

std::unique_ptr<Queues>& queues() {
  static std::unique_ptr<Queues> instance;
  return instance;
}

Queues& ensureQueues() {
  auto& instance = queues();
  if (!instance) instance = std::make_unique<Queues>();
  return *instance;
}

void baseInit() {
  ensureQueues();
  VRDAllocator* allocator = VRDAllocatorCreate(kWritableSize, kReadOnlySize);
  gAllocator.store(allocator);
  auto* readOnly = static_cast<VRDReadOnlyContext*>(
      VRDAllocatorSafeAllocate(allocator, sizeof(VRDReadOnlyContext), VRDAllocationTypeReadOnly));
  std::memset(readOnly, 0, sizeof *readOnly);
  void* signalStack = VRDAllocatorSafeAllocate(allocator, VRDAltStackSize, VRDAllocationTypeWritable);
  // Fresh mapping, already zero: only the part a crash uses is faulted in now.
  VRDSignalWarmAltStack(signalStack);
  auto* writable = static_cast<VRDWritableContext*>(
      VRDAllocatorSafeAllocate(allocator, sizeof(VRDWritableContext), VRDAllocationTypeWritable));
  std::memset(static_cast<void*>(writable), 0, sizeof *writable);
  // Fresh mapping, already zero: the slots are touched only when a crash fills them.
  readOnly->threadCapture.slots = static_cast<VRDThreadCaptureSlot*>(
      VRDAllocatorSafeAllocate(allocator, kThreadSlotsSize, VRDAllocationTypeWritable));
  writable->internalLogFd = -1;
  writable->minimumLogLevel = VRDLogLevelDebug;
  writable->binaryImageFile.fd = -1;
  readOnly->signalStack = signalStack;
  // Written now so that its pages are resident when a crash walks with it.
  readOnly->unwindCache = static_cast<VRDUnwindCache*>(
      VRDAllocatorSafeAllocate(allocator, sizeof(VRDUnwindCache), VRDAllocationTypeWritable));
  if (readOnly->unwindCache != nullptr) std::memset(static_cast<void*>(readOnly->unwindCache), 0, sizeof(VRDUnwindCache));
  std::atomic_ref(readOnly->initialized).store(false);
  gWritable.store(writable);
  gReadOnly.store(readOnly);
}

// A child of fork shares the parent's report folder and open files: it records nothing there.
void markForkedChild() {
  if (VRDWritableContext* writable = VRDContextWritable()) std::atomic_ref(writable->forkedChild).store(1);
}

const char* dupPath(const char* directory, const char* name) {
  const std::string path = std::string(directory) + "/" + name;
  return VRDDupString(path.c_str());
}

}  // namespace

VRDReadOnlyContext* VRDContextReadOnly() noexcept { return gReadOnly.load(std::memory_order_acquire); }
VRDWritableContext* VRDContextWritable() noexcept { return gWritable.load(std::memory_order_acquire); }

char* VRDDupString(const char* text) noexcept {
  if (text == nullptr) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(VRDAllocatorSafeAllocate(gAllocator.load(), size, VRDAllocationTypeReadOnly));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

bool VRDContextInitialize(const VRDContextInitData* initData) {
  if (initData == nullptr) return false;
  const std::int64_t startedAt = static_cast<std::int64_t>(std::time(nullptr));
  baseInit();
  VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (reinterpret_cast<std::uintptr_t>(initData->reportDirectory) < VRDMinimumValidAddress) return false;
  const char* directory = initData->reportDirectory;

  readOnly->internalLogPath = dupPath(directory, "sdk.log");
  if (!VRDUnlinkIfExists(readOnly->internalLogPath)) {
    SystemLog::write(std::string("[Vuveradarad:Crash] Unable to write initialize SDK write paths ") +
                     VRDErrorText(errno));
  }
  readOnly->debuggerAttached = VRDProcessDebuggerAttached();
  readOnly->processID = static_cast<std::int32_t>(getpid());
  static std::once_flag forkHandler;
  std::call_once(forkHandler, [] { pthread_atfork(nullptr, nullptr, markForkedChild); });
  // Before the set-up jobs start the library's queue threads: they get their alternate stacks as they start.
  if (!readOnly->debuggerAttached) VRDThreadStartEnable();
  readOnly->submittableCrashDelegate = initData->submittableCrashDelegate;
  readOnly->crashCallbackTarget = initData->crashCallbackTarget;
  readOnly->firstInstall = initData->firstInstall;

  // The set-up jobs run in order on the starting thread, so the alternate signal stack lands on it.
  VRDHostInitialize();
  VRDUserLoggingInitialize(initData, directory);
  readOnly->binaryImagePath = dupPath(directory, "binary_images.vrdrecord");
  VRDBinaryImageInit();
  readOnly->signal.recordPath = dupPath(directory, "signal.vrdrecord");
  readOnly->machException.recordPath = dupPath(directory, "mach_exception.vrdrecord");
  // Custom exceptions are recorded with a debugger attached too; only the handlers wait for its absence.
  readOnly->exception.recordPath = dupPath(directory, "exception.vrdrecord");
  readOnly->exception.maxCustomExceptions = initData->customExceptionsEnabled ? initData->maxCustomExceptions : 0;
  if (!readOnly->debuggerAttached) {
    VRDSignalInitialize(&readOnly->signal);
    VRDThreadCaptureInitialize(&readOnly->threadCapture);
    VRDThreadStartGiveRunningThreadsAltStacks();
    VRDThreadStartLogCoverage(VRDThreadCaptureCurrentSignal());
    VRDExceptionInitialize(&readOnly->exception, &VRDContextWritable()->customExceptionCount);
  } else {
    VRDLogWarn("Debugger present - not installing handlers\n");
  }
  VRDContextRecordMetadata(initData, startedAt);

  std::atomic_ref(readOnly->initialized).store(true);
  if (!VRDAllocatorProtect(gAllocator.load())) VRDLogWarn("Error: Memory protection failed\n");
  return true;
}

bool VRDContextIsInitialized() noexcept {
  // Both reads are atomic (the pointer acquires, the flag is sequentially consistent): no fence is needed.
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  return reinterpret_cast<std::uintptr_t>(readOnly) >= VRDMinimumValidAddress &&
         std::atomic_ref(const_cast<VRDReadOnlyContext*>(readOnly)->initialized).load() &&
         !VRDContextIsForeignProcess();
}

bool VRDContextIsForeignProcess() noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  VRDWritableContext* writable = VRDContextWritable();
  if (readOnly == nullptr || writable == nullptr || readOnly->processID == 0) return false;
  if (std::atomic_ref(writable->forkedChild).load(std::memory_order_relaxed) != 0) return true;
  // A child made by a raw system call ran no fork handler.
  return static_cast<std::int32_t>(syscall(SYS_getpid)) != readOnly->processID;
}

bool VRDContextMarkAndCheckIfCrashed() noexcept {
  if (!VRDContextIsInitialized()) return false;
  VRDWritableContext* writable = VRDContextWritable();
  const bool already = std::atomic_ref(writable->crashed).exchange(1) != 0;
  if (!already) std::atomic_ref(writable->crashedThread).store(VRDCurrentThreadID());
  return already;
}

VRDUnwindCache* VRDContextTakeUnwindCache() noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  VRDWritableContext* writable = VRDContextWritable();
  if (readOnly == nullptr || writable == nullptr || readOnly->unwindCache == nullptr) return nullptr;
  std::uint32_t free = 0;
  if (!std::atomic_ref(writable->unwindCacheTaken).compare_exchange_strong(free, 1)) return nullptr;
  return readOnly->unwindCache;
}

void VRDContextReturnUnwindCache() noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable != nullptr) std::atomic_ref(writable->unwindCacheTaken).store(0);
}

VRDRecorderClaim VRDContextClaimRecorder() noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr) return VRDRecorderClaim::Failed;
  std::atomic_ref word(writable->recorderThread);
  const std::int32_t self = VRDCurrentThreadID();
  const timespec step{0, 1000000};
  for (long waited = 0;; ++waited) {
    std::int32_t expected = 0;
    if (word.compare_exchange_strong(expected, self)) return VRDRecorderClaim::Taken;
    if (expected == self) return VRDRecorderClaim::AlreadyHeld;
    if (waited >= VRDSecondCrashWaitMilliseconds) return VRDRecorderClaim::Failed;
    nanosleep(&step, nullptr);
  }
}

void VRDContextReleaseRecorder(VRDRecorderClaim claim) noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (claim == VRDRecorderClaim::Taken && writable != nullptr) std::atomic_ref(writable->recorderThread).store(0);
}

bool VRDContextIsDebuggerAttached() noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  return readOnly != nullptr && readOnly->debuggerAttached;
}

SerialQueue& VRDContextLoggingQueue() { return ensureQueues().logging; }
SerialQueue& VRDContextBinaryImageQueue() { return ensureQueues().binaryImages; }

void VRDContextResetForTesting() {
  // What is queued still writes into this context's files before it is forgotten.
  VRDBinaryImageStopTracking();
  VRDThreadStartStop();
  queues().reset();
  VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (readOnly != nullptr && !readOnly->debuggerAttached && readOnly->signal.recordPath != nullptr) {
    VRDSignalSafeInstallPreexistingHandlers(&readOnly->signal);
    VRDThreadCaptureRestore(&readOnly->threadCapture);
    VRDExceptionRestoreTerminateHandler(&readOnly->exception);
  }
  VRDWritableContext* writable = VRDContextWritable();
  if (writable != nullptr && writable->internalLogFd >= 0) close(writable->internalLogFd);
  gReadOnly.store(nullptr);
  gWritable.store(nullptr);
  gAllocator.store(nullptr);
}

std::int32_t VRDCurrentThreadID() noexcept { return static_cast<std::int32_t>(syscall(SYS_gettid)); }

}  // namespace crashreporting
