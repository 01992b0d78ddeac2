#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/Value.h"

// What the host attaches to the current report while it runs: custom key/value pairs (and the library's own
// internal pairs), log lines and non-fatal errors. Each is written at once into record files of the report
// folder, so that it survives a crash with no crash-time work: pairs to an incremental file compacted every 64
// writes, logs and errors to pairs of files used in turn (A/B) so the space stays bounded. Writes are serialised
// on the logging queue. Not for crash time: it uses the heap.

namespace crashreporting {

/// Set-up job: the storages' paths in `directory` and their limits from the start data; the current files at
/// A; the counters at 0.
void VRDUserLoggingInitialize(const VRDContextInitData* initData, const char* directory);

/// A pair of the host (`setObjectValue:forKey:`); a null value removes the key.
void VRDUserLoggingRecordUserKeyValue(const char* key, const Value* value);
/// A pair of the library itself (user identifier, name, e-mail).
void VRDUserLoggingRecordInternalKeyValue(const char* key, const Value* value);
/// Records the value's description for `key` (WARN "User provided bad key" for a key below 4096), on the
/// logging queue, waiting for the write. Nothing before set-up.
void VRDUserLoggingRecordKeyValue(const char* key, const Value* value, const VRDUserLoggingKVStorage* storage,
                                  std::uint32_t* counter);
/// Writes an internal pair at once on the calling thread (start-up only).
void VRDUserLoggingWriteInternalKeyValue(const char* key, const char* value);
/// Appends the `kv` line; the threshold-th write queues a compaction.
void VRDUserLoggingWriteKeyValue(const char* key, const char* value, const VRDUserLoggingKVStorage* storage,
                                 std::uint32_t* counter);

/// The pairs of both files merged: the compacted ones, then the incremental lines in order (a null value removes
/// the key). Keys and values hex-decoded when `decode` is set. None for an invalid storage or before set-up.
std::optional<Dictionary> VRDUserLoggingGetCompactedKVEntries(const VRDUserLoggingKVStorage* storage, bool decode);
/// The same for the files of an earlier run's report folder (the next launch).
Dictionary VRDUserLoggingReadKeyValues(const std::string& incrementalPath, const std::string& compactedPath,
                                       bool decode);
/// Writes the merged pairs (at most the maximum count, in key order) to a new compacted file beside the old one
/// and renames it over the old; only then removes the incremental file. A failure on the way loses nothing.
void VRDUserLoggingCompactKVEntries(const VRDUserLoggingKVStorage* storage);

/// Writes one entry into the storage's current file.
using VRDUserLoggingWriteStep = std::function<void(VRDFile* file)>;
/// Appends through `step` to the current file (waiting for it on the logging queue), counts the entry, and
/// queues the swap check.
void VRDUserLoggingWriteAndCheckABFiles(const VRDUserLoggingABStorage* storage, const char** slot,
                                        const VRDUserLoggingWriteStep& step);
/// Swaps to the other file, emptied first, once the current one is full.
void VRDUserLoggingCheckAndSwapABFiles(const VRDUserLoggingABStorage* storage, const char** slot,
                                       std::uint64_t fileSize);

/// Public logging entries: a printf-style message into the report's log; the NS forms also write it to the
/// system log. A null format does nothing.
void VRDLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void VRDNSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void VRDLogv(const char* format, va_list arguments) __attribute__((format(printf, 1, 0)));
void VRDNSLogv(const char* format, va_list arguments) __attribute__((format(printf, 1, 0)));
/// The `log` line: the message (cut to the log's maximum size) and the time in milliseconds.
void VRDLogRecordMessage(const std::optional<std::string>& message);

/// A non-fatal error: the `error` line with the calling thread's stack. Nothing before set-up, for a null
/// error, or with error reporting off.
void VRDUserLoggingRecordError(const Error* error, const Dictionary* additionalInfo);

}  // namespace crashreporting
