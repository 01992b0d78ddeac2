#pragma once

#include <signal.h>

#include <cstddef>
#include <cstdint>
#include <exception>

#include "crashreporting/Capture/VRDFile.h"
#include "crashreporting/Capture/VRDSafeRead.h"

// The process-wide crash context. Built once when crash reporting starts for a report directory, in memory of
// one guarded mapping (VRDAllocator); crash-time code only reads it or updates the writable part in place.
// After set-up the read-only part is protected. Everything crash-time code needs (paths, stacks, saved
// actions, the image table) is placed here before any handler is installed.

namespace crashreporting {

class SerialQueue;
class VRDCrashCallbackTarget;
class VRDSubmittableCrashDelegate;
struct VRDUnwindCache;

inline constexpr std::size_t VRDSignalCount = 7;
inline constexpr std::size_t VRDAltStackSize = 0x40000;
inline constexpr std::size_t VRDBinaryImageNodeCount = 512;
/// At most this many threads are stopped and recorded.
inline constexpr std::size_t VRDProcessMaximumThreads = 512;
/// Room in the read-only region for the copied path strings.
inline constexpr std::size_t VRDContextStringSpace = 16384;

/// One loaded image: base (its ELF header in memory), size (up to the end of its last executable segment),
/// and the addresses of its unwind sections (0 when absent): `.eh_frame`, and `.eh_frame_hdr` whose sorted
/// table finds an address's DWARF row. ELF has no compact unwind information and no crash-info section, so
/// unwindInfo and crashInfo stay 0. A node with base 0 is free; one with size 0 matches no address.
/// [unwindSegmentStart, unwindSegmentEnd) is the readable loaded segment that holds both unwind sections (both
/// 0 when they lie elsewhere): while the image is loaded, every byte of it can be read.
struct VRDBinaryImageNode {
  std::uint64_t base;
  std::uint64_t size;
  std::uint64_t ehFrame;
  std::uint64_t unwindInfo;
  std::uint64_t crashInfo;
  std::uint64_t ehFrameHdr;
  std::uint64_t unwindSegmentStart;
  std::uint64_t unwindSegmentEnd;
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

struct VRDThreadCaptureSlot;

/// How the crashing thread stops the others: a real-time signal chosen at set-up among those nobody handles,
/// whose handler copies its thread's state into that thread's slot and parks until released.
struct VRDThreadCaptureContext {
  std::int32_t signal;  // 0: none could be had, no other thread can be stopped
  struct sigaction savedAction;
  VRDThreadCaptureSlot* slots;  // VRDProcessMaximumThreads of them, in writable memory
};

/// Key/value pairs: appended to the incremental file, compacted into the compacted one every threshold writes.
struct VRDUserLoggingKVStorage {
  const char* incrementalPath;
  const char* compactedPath;
  std::uint32_t compactionThreshold;
  std::uint32_t maximumCount;
};

/// Logs, errors and custom exceptions: two files used in turn, the current one swapped when it is full (by size
/// or by entry count).
struct VRDUserLoggingABStorage {
  const char* aPath;
  const char* bPath;
  std::uint32_t maximumSize;
  std::uint32_t maximumEntries;
  bool restrictBySize;
  std::uint32_t* entryCount;  // in the writable context; null for size-restricted storage
};

struct VRDUserLoggingContext {
  VRDUserLoggingKVStorage userKVStorage;
  VRDUserLoggingKVStorage internalKVStorage;
  VRDUserLoggingABStorage logStorage;
  VRDUserLoggingABStorage errorStorage;
  VRDUserLoggingABStorage customExceptionStorage;
};

/// Uncaught exceptions: the record file, the terminate handler ours replaced, and how many custom exceptions a
/// report keeps (0 unless custom exceptions are enabled). There is no Objective-C runtime, so no replaced
/// `reportException:` implementation is kept.
struct VRDExceptionContext {
  const char* recordPath;
  std::terminate_handler previousTerminateHandler;
  std::uint32_t maxCustomExceptions;
};

struct VRDHostContext {
  const char* documentsDirectory;
  std::uint64_t pageSize;
};

struct VRDReadOnlyContext {
  bool initialized;  // read and written with full barriers
  bool debuggerAttached;
  /// The process the context was made for: a child forked without exec has another id.
  std::int32_t processID;
  const char* internalLogPath;
  void* signalStack;
  /// The unwinder's cache for a crash capture, faulted in at set-up (VRDContextTakeUnwindCache).
  VRDUnwindCache* unwindCache;
  /// Null on Linux (no Mach exception server).
  void* machExceptionServerStack;
  VRDSubmittableCrashDelegate* submittableCrashDelegate;
  VRDCrashCallbackTarget* crashCallbackTarget;
  bool firstInstall;
  const char* binaryImagePath;
  VRDExceptionContext exception;
  VRDHostContext host;
  VRDSignalContext signal;
  VRDMachExceptionContext machException;
  VRDThreadCaptureContext threadCapture;
  VRDUserLoggingContext logging;
};

struct VRDWritableContext {
  std::int32_t internalLogFd;    // −1 until the log is first opened
  std::int32_t minimumLogLevel;  // starts at 1
  /// Set in a child's copy by fork (pthread_atfork): nothing of the child goes into the parent's report.
  std::uint8_t forkedChild;
  std::uint8_t crashed;          // 0 → 1 once per process
  /// Set when the first crash record has been written and closed; another crashing thread waits for it.
  std::uint8_t recordComplete;
  /// Thread id of the thread that marked the crash.
  std::int32_t crashedThread;
  /// Thread id of the thread recording the process (VRDContextClaimRecorder), 0 when none.
  std::int32_t recorderThread;
  /// 1 while a capture uses the context's unwinder cache.
  std::uint32_t unwindCacheTaken;
  VRDFile binaryImageFile;
  VRDBinaryImageNode binaryImages[VRDBinaryImageNodeCount];
  /// Futex words of the thread capture: slots asked, slots answered, and the release of parked threads (a
  /// count of releases: a parked thread waits for it to move on from the value it saw before it answered, so a
  /// capture that follows at once never catches it still parked from the one before).
  std::uint32_t captureRequested;
  std::uint32_t captureAnswered;
  std::uint32_t captureRelease;
  /// The signal the capture stops threads with now: the set-up's choice, or another one taken at capture time
  /// when the host has since installed its own handler for it. 0: none.
  std::int32_t captureSignal;
  /// Writes since the last compaction, and entries in the current A/B files.
  std::uint32_t userKVCount;
  std::uint32_t internalKVCount;
  std::uint32_t errorCount;
  std::uint32_t customExceptionCount;
  /// The current file of each A/B storage (its A or B path).
  const char* logStorageCurrent;
  const char* errorStorageCurrent;
  const char* customExceptionStorageCurrent;
};

/// What the crash-reporting controller hands to the set-up, in this order.
struct VRDContextInitData {
  const char* apiKey = nullptr;
  VRDSubmittableCrashDelegate* submittableCrashDelegate = nullptr;
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
/// False in a child forked from the process the context was made for: the context's files are the parent's.
bool VRDContextIsInitialized() noexcept;
/// True in a child forked (without exec) from the process the context was made for, whether fork ran the
/// library's fork handler or a raw system call made the child. Async-signal-safe.
bool VRDContextIsForeignProcess() noexcept;
/// Marks the crash; true when it had already been marked (someone else is recording, or did). False before
/// set-up.
bool VRDContextMarkAndCheckIfCrashed() noexcept;
bool VRDContextIsDebuggerAttached() noexcept;

/// The whole process (its threads stopped, their stacks written) is recorded by one thread at a time: the signal
/// path and a fatal exception take this claim first, so two recorders never stop each other. Waits, in 1 ms
/// steps and at most 5 s, while another thread holds it. Async-signal-safe.
enum class VRDRecorderClaim { Failed, Taken, AlreadyHeld };
VRDRecorderClaim VRDContextClaimRecorder() noexcept;
/// The context's unwinder cache, for one capture at a time: its pages are resident from the set-up on, so a
/// crash's walk takes no page fault for it. Null when another capture holds it or there is no context (the
/// caller then uses a cache of its own). Give it back with VRDContextReturnUnwindCache.
VRDUnwindCache* VRDContextTakeUnwindCache() noexcept;
void VRDContextReturnUnwindCache() noexcept;
/// Lets go of a claim this thread took (Taken); nothing for the other results.
void VRDContextReleaseRecorder(VRDRecorderClaim claim) noexcept;
/// A copy of `text` in the read-only region (the heap once that is full); null for null.
char* VRDDupString(const char* text) noexcept;

/// The serial queues made at set-up: key/value, log and error writes; image records. Fatal exception records
/// are written on the thread that throws (see VRDException.h).
SerialQueue& VRDContextLoggingQueue();
SerialQueue& VRDContextBinaryImageQueue();

/// For a test process that builds contexts one after another: puts back the signal actions and the terminate
/// handler this context replaced and forgets it (its mapping stays). Never called by the library.
void VRDContextResetForTesting();

/// The calling thread's kernel thread id (raw syscall).
std::int32_t VRDCurrentThreadID() noexcept;

}  // namespace crashreporting
