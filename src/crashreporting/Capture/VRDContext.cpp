#include "crashreporting/Capture/VRDContext.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "crashreporting/Capture/VRDAllocator.h"
#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDHost.h"
#include "crashreporting/Capture/VRDMetadata.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDSignal.h"
#include "crashreporting/Capture/VRDUtilities.h"
#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

// Sizes asked of the allocator: the signal stack and the writable context; the read-only context and the
// copied path strings.
constexpr std::uint64_t kWritableSize = VRDAltStackSize + sizeof(VRDWritableContext);
constexpr std::uint64_t kReadOnlySize = sizeof(VRDReadOnlyContext) + VRDContextStringSpace;

std::atomic<VRDAllocator*> gAllocator{nullptr};
std::atomic<VRDReadOnlyContext*> gReadOnly{nullptr};
std::atomic<VRDWritableContext*> gWritable{nullptr};

struct Queues {
  SerialQueue logging{std::string(kZIZReverseDNSPrefix) + ".logging"};
  SerialQueue binaryImages{std::string(kZIZReverseDNSPrefix) + ".binary-images"};
  SerialQueue exception{std::string(kZIZReverseDNSPrefix) + ".exception"};
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
  std::memset(signalStack, 0, VRDAltStackSize);
  auto* writable = static_cast<VRDWritableContext*>(
      VRDAllocatorSafeAllocate(allocator, sizeof(VRDWritableContext), VRDAllocationTypeWritable));
  std::memset(static_cast<void*>(writable), 0, sizeof *writable);
  writable->internalLogFd = -1;
  writable->minimumLogLevel = VRDLogLevelDebug;
  writable->binaryImageFile.fd = -1;
  readOnly->signalStack = signalStack;
  std::atomic_ref(readOnly->initialized).store(false);
  gWritable.store(writable);
  gReadOnly.store(readOnly);
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
  readOnly->submittableCrashDelegate = initData->submittableCrashDelegate;
  readOnly->crashCallbackTarget = initData->crashCallbackTarget;
  readOnly->firstInstall = initData->firstInstall;

  // The set-up jobs run in order on the starting thread, so the alternate signal stack lands on it.
  VRDHostInitialize();
  readOnly->binaryImagePath = dupPath(directory, "binary_images.vrdrecord");
  VRDBinaryImageInit();
  readOnly->signal.recordPath = dupPath(directory, "signal.vrdrecord");
  readOnly->machException.recordPath = dupPath(directory, "mach_exception.vrdrecord");
  if (!readOnly->debuggerAttached) {
    VRDSignalInitialize(&readOnly->signal);
  } else {
    VRDLogWarn("Debugger present - not installing handlers\n");
  }
  VRDContextRecordMetadata(initData, startedAt);

  std::atomic_ref(readOnly->initialized).store(true);
  if (!VRDAllocatorProtect(gAllocator.load())) VRDLogWarn("Error: Memory protection failed\n");
  return true;
}

bool VRDContextIsInitialized() noexcept {
  std::atomic_thread_fence(std::memory_order_seq_cst);
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  return reinterpret_cast<std::uintptr_t>(readOnly) >= VRDMinimumValidAddress &&
         std::atomic_ref(const_cast<VRDReadOnlyContext*>(readOnly)->initialized).load();
}

bool VRDContextMarkAndCheckIfCrashed() noexcept {
  if (!VRDContextIsInitialized()) return false;
  VRDWritableContext* writable = VRDContextWritable();
  const bool already = std::atomic_ref(writable->crashed).exchange(1) != 0;
  if (!already) std::atomic_ref(writable->crashedThread).store(VRDCurrentThreadID());
  return already;
}

bool VRDContextIsDebuggerAttached() noexcept {
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  return readOnly != nullptr && readOnly->debuggerAttached;
}

SerialQueue& VRDContextLoggingQueue() { return ensureQueues().logging; }
SerialQueue& VRDContextBinaryImageQueue() { return ensureQueues().binaryImages; }
SerialQueue& VRDContextExceptionQueue() { return ensureQueues().exception; }

void VRDContextResetForTesting() {
  VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (readOnly != nullptr && !readOnly->debuggerAttached && readOnly->signal.recordPath != nullptr) {
    VRDSignalSafeInstallPreexistingHandlers(&readOnly->signal);
  }
  VRDWritableContext* writable = VRDContextWritable();
  if (writable != nullptr && writable->internalLogFd >= 0) close(writable->internalLogFd);
  gReadOnly.store(nullptr);
  gWritable.store(nullptr);
  gAllocator.store(nullptr);
  queues().reset();
}

std::int32_t VRDCurrentThreadID() noexcept { return static_cast<std::int32_t>(syscall(SYS_gettid)); }

}  // namespace crashreporting
