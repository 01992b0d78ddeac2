#pragma once

#include <signal.h>

#include <cstddef>
#include <cstdint>

#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDSafeRead.h"

// The process-wide crash context. Built once when crash reporting starts for a report directory, in memory of
// one guarded mapping (VRDAllocator); crash-time code only reads it or updates the writable part in place.
// After set-up the read-only part is protected. Everything crash-time code needs (paths, stacks, saved
// actions, the image table) is placed here before any handler is installed.

namespace crashreporting {

class SerialQueue;
class VRDCrashCallbackTarget;

inline constexpr std::size_t VRDSignalCount = 7;
inline constexpr std::size_t VRDAltStackSize = 0x40000;
inline constexpr std::size_t VRDBinaryImageNodeCount = 512;
/// Room in the read-only region for the copied path strings.
inline constexpr std::size_t VRDContextStringSpace = 16384;

/// One loaded image: base (its ELF header in memory), size (up to the end of its last executable segment),
/// and the addresses of its unwind sections (0 when absent). A node with base 0 is free.
struct VRDBinaryImageNode {
  std::uint64_t base;
  std::uint64_t size;
  std::uint64_t ehFrame;
  std::uint64_t unwindInfo;
  std::uint64_t crashInfo;
};

struct VRDSignalContext {
  const char* recordPath;
  /// In signal-table order; SIG_DFL (null) means nothing to restore.
  struct sigaction savedActions[VRDSignalCount];
  /// ss_sp null means none was saved.
  stack_t savedAltStack;
};

/// Only the record path: Linux has no Mach exception ports, so no server is registered (claimedMask stays 0).
struct VRDMachExceptionContext {
  const char* recordPath;
  std::uint32_t claimedMask;
};

struct VRDHostContext {
  const char* documentsDirectory;
  std::uint64_t pageSize;
};

struct VRDReadOnlyContext {
  bool initialized;  // read and written with full barriers
  bool debuggerAttached;
  const char* internalLogPath;
  void* signalStack;
  /// Null on Linux (no Mach exception server).
  void* machExceptionServerStack;
  void* submittableCrashDelegate;
  VRDCrashCallbackTarget* crashCallbackTarget;
  bool firstInstall;
  const char* binaryImagePath;
  VRDHostContext host;
  VRDSignalContext signal;
  VRDMachExceptionContext machException;
};

struct VRDWritableContext {
  std::int32_t internalLogFd;    // −1 until the log is first opened
  std::int32_t minimumLogLevel;  // starts at 1
  std::uint8_t crashed;          // 0 → 1 once per process
  /// Set when the first crash record has been written and closed; another crashing thread waits for it.
  std::uint8_t recordComplete;
  /// Thread id of the thread that marked the crash.
  std::int32_t crashedThread;
  VRDFile binaryImageFile;
  VRDBinaryImageNode binaryImages[VRDBinaryImageNodeCount];
};

/// What the crash-reporting controller hands to the set-up, in this order.
struct VRDContextInitData {
  const char* apiKey = nullptr;
  void* submittableCrashDelegate = nullptr;
  bool firstInstall = false;
  VRDCrashCallbackTarget* crashCallbackTarget = nullptr;
  const char* customBundleIdentifier = nullptr;
  const char* reportDirectory = nullptr;
  const char* sessionIdentifier = nullptr;
  const char* installIdentifier = nullptr;
  const char* betaToken = nullptr;
  std::uint32_t machExceptionMask = 0;
  bool errorReportingEnabled = false;
  bool customExceptionsEnabled = false;
  std::uint32_t maxCustomExceptions = 0;
  std::uint32_t errorLogBufferSize = 0;
  std::uint32_t logBufferSize = 0;
  std::uint32_t maxCustomKeys = 0;
};

/// The two parts of the context; null before set-up.
VRDReadOnlyContext* VRDContextReadOnly() noexcept;
VRDWritableContext* VRDContextWritable() noexcept;

/// Builds the context for a new report directory: the mapping, the internal log, the host data, the image
/// table, the signal handlers with their alternate stack on the calling thread (not while a debugger is
/// attached), and `metadata.vrdrecord`; then marks it initialised and protects the read-only part. False for
/// missing start data or report directory.
bool VRDContextInitialize(const VRDContextInitData* initData);
bool VRDContextIsInitialized() noexcept;
/// Marks the crash; true when it had already been marked (someone else is recording, or did). False before
/// set-up.
bool VRDContextMarkAndCheckIfCrashed() noexcept;
bool VRDContextIsDebuggerAttached() noexcept;
/// A copy of `text` in the read-only region (the heap once that is full); null for null.
char* VRDDupString(const char* text) noexcept;

/// The serial queues made at set-up: key/value, log and error writes; image records; fatal exception records.
SerialQueue& VRDContextLoggingQueue();
SerialQueue& VRDContextBinaryImageQueue();
SerialQueue& VRDContextExceptionQueue();

/// For a test process that builds contexts one after another: puts back the signal actions this context
/// replaced and forgets it (its mapping stays). Never called by the library.
void VRDContextResetForTesting();

/// The calling thread's kernel thread id (raw syscall).
std::int32_t VRDCurrentThreadID() noexcept;

}  // namespace crashreporting
