#include "crashreporting/Capture/VRDUserLogging.h"

#include <sys/time.h>
#include <ucontext.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUnwind.h"
#include "crashreporting/Capture/VRDUtilities.h"
#include "crashreporting/platform/ForkedChild.h"
#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

/// Whether a value can be recorded now. A forked child's context is its parent's: nothing of the child is
/// recorded, said once in it.
bool recordingHere() {
  if (VRDContextIsInitialized()) return true;
  if (VRDContextIsForeignProcess()) sayNothingIsRecordedInForkedChild();
  return false;
}

constexpr std::uint32_t kCompactionThreshold = 64;
constexpr std::uint32_t kInternalMaximumCount = 32;
/// An error's stack is cut here.
constexpr std::size_t kErrorStackFrames = 512;

bool valid(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer) >= VRDMinimumValidAddress; }

const char* dupPath(const char* directory, const char* name) {
  return VRDDupString((std::string(directory) + "/" + name).c_str());
}

VRDUserLoggingContext* logging() {
  VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  return readOnly != nullptr ? &readOnly->logging : nullptr;
}

// The `kv` objects of the lines of a record file.
std::vector<const Value*> kvObjects(const std::optional<Array>& lines) {
  std::vector<const Value*> objects;
  if (!lines) return objects;
  for (const Value& line : *lines) {
    if (const Value* kv = line.member("kv"); kv != nullptr && kv->get<Dictionary>() != nullptr) objects.push_back(kv);
  }
  return objects;
}

// A key or value as stored (hex text or null), decoded when asked; none when it is missing or undecodable.
std::optional<Value> storedText(const Value* kv, const char* name, bool decode) {
  const Value* value = kv->member(name);
  if (value == nullptr) return std::nullopt;
  if (value->isNull()) return Value();
  const std::string* text = value->get<std::string>();
  if (text == nullptr) return std::nullopt;
  if (!decode) return Value(*text);
  auto decoded = VRDFileHexDecodeString(text->c_str());
  if (!decoded) return std::nullopt;
  return Value(std::move(*decoded));
}

void writeKVLine(VRDFile* file, const char* key, const char* value, bool hex) {
  VRDFileWriteSectionStart(file, "kv");
  VRDFileWriteHashStart(file);
  if (hex) {
    VRDFileWriteHashEntryHexEncodedString(file, "key", key);
    VRDFileWriteHashEntryHexEncodedString(file, "value", value);
  } else {
    VRDFileWriteHashEntryString(file, "key", key);
    VRDFileWriteHashEntryString(file, "value", value);
  }
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

std::optional<std::string> describe(const Value* value) {
  if (value == nullptr) return std::nullopt;
  return value->description();
}

// The calling thread's return addresses, from the unwinder started on its current context.
__attribute__((noinline)) std::vector<std::uint64_t> currentStack() {
  std::vector<std::uint64_t> addresses;
  ucontext_t context;
  if (getcontext(&context) != 0) return addresses;
  VRDThreadState state;
  // Other threads run on: the proofs serve this one walk only.
  VRDUnwindCache cache;
  VRDUnwindCacheReset(&cache);
  VRDUnwindContext unwind;
  if (!VRDThreadStateFromUserContext(&context, &state) || !VRDUnwindInit(&unwind, &state, &cache)) return addresses;
  while (addresses.size() < kErrorStackFrames && VRDUnwindNextFrame(&unwind)) addresses.push_back(VRDUnwindGetPC(&unwind));
  return addresses;
}

void writePairs(VRDFile* file, const char* key, const Dictionary* pairs) {
  if (pairs == nullptr || pairs->empty()) return;
  VRDFileWriteHashKey(file, key);
  VRDFileWriteArrayStart(file);
  for (const auto& [name, value] : *pairs) {
    VRDFileWriteArrayStart(file);
    VRDFileWriteArrayEntryHexEncodedString(file, name.c_str());
    VRDFileWriteArrayEntryHexEncodedString(file, value.description().c_str());
    VRDFileWriteArrayEnd(file);
  }
  VRDFileWriteArrayEnd(file);
}

// Cuts `text` to at most `size` bytes, not inside a UTF-8 sequence.
void cutUtf8(std::string& text, std::size_t size) {
  if (text.size() <= size) return;
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  text.resize(size);
}

}  // namespace

void VRDUserLoggingInitialize(const VRDContextInitData* initData, const char* directory) {
  VRDUserLoggingContext* context = logging();
  VRDWritableContext* writable = VRDContextWritable();
  if (context == nullptr || writable == nullptr) return;
  context->userKVStorage = {dupPath(directory, "user_incremental_kv.vrdrecord"),
                            dupPath(directory, "user_compacted_kv.vrdrecord"), kCompactionThreshold,
                            initData->maxCustomKeys};
  context->internalKVStorage = {dupPath(directory, "internal_incremental_kv.vrdrecord"),
                                dupPath(directory, "internal_compacted_kv.vrdrecord"), kCompactionThreshold,
                                kInternalMaximumCount};
  context->logStorage = {dupPath(directory, "log_a.vrdrecord"), dupPath(directory, "log_b.vrdrecord"),
                         initData->logBufferSize, 0, true, nullptr};
  context->errorStorage = {dupPath(directory, "errors_a.vrdrecord"), dupPath(directory, "errors_b.vrdrecord"), 0,
                           initData->errorReportingEnabled ? initData->maxCustomExceptions : 0, false,
                           &writable->errorCount};
  context->customExceptionStorage = {dupPath(directory, "custom_exception_a.vrdrecord"),
                                     dupPath(directory, "custom_exception_b.vrdrecord"), 0,
                                     initData->maxCustomExceptions, false, &writable->customExceptionCount};
  writable->logStorageCurrent = context->logStorage.aPath;
  writable->errorStorageCurrent = context->errorStorage.aPath;
  writable->customExceptionStorageCurrent = context->customExceptionStorage.aPath;
  writable->userKVCount = 0;
  writable->internalKVCount = 0;
  writable->errorCount = 0;
  writable->customExceptionCount = 0;
}

void VRDUserLoggingRecordUserKeyValue(const char* key, const Value* value) {
  VRDBinaryImageCheckForChanges();
  VRDUserLoggingContext* context = logging();
  if (context == nullptr) return;
  VRDUserLoggingRecordKeyValue(key, value, &context->userKVStorage, &VRDContextWritable()->userKVCount);
}

void VRDUserLoggingRecordInternalKeyValue(const char* key, const Value* value) {
  VRDUserLoggingContext* context = logging();
  if (context == nullptr) return;
  VRDUserLoggingRecordKeyValue(key, value, &context->internalKVStorage, &VRDContextWritable()->internalKVCount);
}

void VRDUserLoggingRecordKeyValue(const char* key, const Value* value, const VRDUserLoggingKVStorage* storage,
                                  std::uint32_t* counter) {
  if (!valid(key)) {
    VRDLogWarn("User provided bad key\n");
    return;
  }
  if (value != nullptr && !valid(value)) {
    VRDLogWarn("Bad value pointer being clamped to nil\n");
    value = nullptr;
  }
  if (!recordingHere()) return;
  const std::optional<std::string> text = describe(value);
  VRDContextLoggingQueue().sync(
      [&] { VRDUserLoggingWriteKeyValue(key, text ? text->c_str() : nullptr, storage, counter); });
}

void VRDUserLoggingWriteInternalKeyValue(const char* key, const char* value) {
  VRDUserLoggingContext* context = logging();
  if (context == nullptr) return;
  VRDUserLoggingWriteKeyValue(key, value, &context->internalKVStorage, &VRDContextWritable()->internalKVCount);
}

void VRDUserLoggingWriteKeyValue(const char* key, const char* value, const VRDUserLoggingKVStorage* storage,
                                 std::uint32_t* counter) {
  if (!valid(storage) || !valid(counter)) {
    VRDLogError("Bad parameters\n");
    return;
  }
  VRDFile file;
  if (!VRDFileInitWithPath(&file, storage->incrementalPath, true)) {
    VRDLogError("Unable to open k-v file\n");
    return;
  }
  writeKVLine(&file, key, value, true);
  VRDFileClose(&file);
  if (++*counter >= storage->compactionThreshold) {
    VRDContextLoggingQueue().async([storage, counter] {
      VRDUserLoggingCompactKVEntries(storage);
      *counter = 0;
    });
  }
}

Dictionary VRDUserLoggingReadKeyValues(const std::string& incrementalPath, const std::string& compactedPath,
                                       bool decode) {
  Dictionary entries;
  // A file that cannot be read is removed.
  const auto compacted = VRDFileReadSections(compactedPath.c_str(), true);
  const auto incremental = VRDFileReadSections(incrementalPath.c_str(), true);
  for (const Value* kv : kvObjects(compacted)) {
    const auto key = storedText(kv, "key", decode);
    const auto value = storedText(kv, "value", decode);
    if (!key || !value || key->get<std::string>() == nullptr) {
      VRDLogError("compacted key/value contains a nil and must be dropped\n");
      continue;
    }
    entries.insert_or_assign(*key->get<std::string>(), *value);
  }
  for (const Value* kv : kvObjects(incremental)) {
    const auto key = storedText(kv, "key", decode);
    const auto value = storedText(kv, "value", decode);
    if (!key || !value || key->get<std::string>() == nullptr) {
      VRDLogError("incremental key/value contains a nil and must be dropped\n");
      continue;
    }
    if (value->isNull()) {
      entries.erase(*key->get<std::string>());
    } else {
      entries.insert_or_assign(*key->get<std::string>(), *value);
    }
  }
  return entries;
}

std::optional<Dictionary> VRDUserLoggingGetCompactedKVEntries(const VRDUserLoggingKVStorage* storage, bool decode) {
  if (!valid(storage)) {
    VRDLogError("storage invalid\n");
    return std::nullopt;
  }
  if (!VRDContextIsInitialized()) return std::nullopt;
  return VRDUserLoggingReadKeyValues(storage->incrementalPath, storage->compactedPath, decode);
}

void VRDUserLoggingCompactKVEntries(const VRDUserLoggingKVStorage* storage) {
  if (!valid(storage)) {
    VRDLogError("Error: storage invalid\n");
    return;
  }
  const auto entries = VRDUserLoggingGetCompactedKVEntries(storage, false);
  if (!entries) return;
  // Written aside and renamed over the old file, so the old one stands until the new one is complete.
  const std::string aside = std::string(storage->compactedPath) + ".new";
  VRDUnlinkIfExists(aside.c_str());
  VRDFile file;
  if (!VRDFileInitWithPathMode(&file, aside.c_str(), false, true)) {
    VRDLogWarn("Error: Unable to open compacted k-v file\n");
    return;
  }
  if (entries->size() > storage->maximumCount) {
    VRDLogInfo("Truncating KV set, which is above max %d\n", static_cast<int>(storage->maximumCount));
  }
  std::size_t written = 0;
  for (const auto& [key, value] : *entries) {
    if (written++ >= storage->maximumCount) break;
    const std::string* text = value.get<std::string>();
    writeKVLine(&file, key.c_str(), text ? text->c_str() : nullptr, false);
  }
  if (!VRDFileClose(&file) || std::rename(aside.c_str(), storage->compactedPath) != 0) {
    VRDLogWarn("Error: Unable to replace the compacted KV store %s\n", VRDErrorText(errno));
    VRDUnlinkIfExists(aside.c_str());
    return;
  }
  if (!VRDUnlinkIfExists(storage->incrementalPath)) {
    VRDLogWarn("Error: Unable to remove incremental KV store after compaction %s\n", VRDErrorText(errno));
  }
}

void VRDUserLoggingWriteAndCheckABFiles(const VRDUserLoggingABStorage* storage, const char** slot,
                                        const VRDUserLoggingWriteStep& step) {
  if (!valid(storage) || !valid(slot) || !step) return;
  const bool allowed = storage->restrictBySize ? storage->maximumSize > 0 : storage->maximumEntries > 0;
  if (!allowed) return;
  VRDContextLoggingQueue().sync([&] {
    // The slot is swapped on this queue (below): it is read here only.
    if (!valid(*slot)) return;
    VRDFile file;
    if (!VRDFileInitWithPath(&file, *slot, true)) {
      VRDLogWarn("Unable to open log file\n");
      return;
    }
    step(&file);
    std::uint64_t size = 0;
    VRDFileCloseWithOffset(&file, &size);
    if (!storage->restrictBySize && valid(storage->entryCount)) ++*storage->entryCount;
    VRDContextLoggingQueue().async([storage, slot, size] { VRDUserLoggingCheckAndSwapABFiles(storage, slot, size); });
  });
}

void VRDUserLoggingCheckAndSwapABFiles(const VRDUserLoggingABStorage* storage, const char** slot,
                                       std::uint64_t fileSize) {
  if (!valid(slot) || !valid(*slot)) return;
  if (!storage->restrictBySize) {
    if (!valid(storage->entryCount)) {
      VRDLogError("Error: storage has invalid pointer, but is restricted by entry count\n");
      return;
    }
    if (*storage->entryCount < storage->maximumEntries) return;
    *storage->entryCount = 0;
  } else if (fileSize <= storage->maximumSize) {
    return;
  }
  const char* other = *slot == storage->aPath ? storage->bPath : storage->aPath;
  if (other != nullptr && *other != '\0') VRDUnlinkIfExists(other);
  *slot = other;
}

void VRDLogRecordMessage(const std::optional<std::string>& message) {
  if (!message) return;
  VRDBinaryImageCheckForChanges();
  if (VRDContextIsForeignProcess()) {
    sayNothingIsRecordedInForkedChild();
    return;
  }
  if (!VRDContextIsInitialized()) {
    SystemLog::write(
        "[Vuveradarad:Crash] WARNING: VRDLog has been used before (or concurrently with) Vuveradarad "
        "initialization and cannot be recorded. The message was: \n" +
        *message);
    return;
  }
  VRDUserLoggingContext* context = logging();
  std::string text = *message;
  const std::uint32_t maximum = context->logStorage.maximumSize;
  if (text.size() > maximum) {
    char warning[160];
    std::snprintf(warning, sizeof warning,
                  "WARNING: Attempted to write %zd bytes, but %d is the maximum size of the log. Truncating to %d "
                  "bytes.\n",
                  text.size(), static_cast<int>(maximum), static_cast<int>(maximum));
    SystemLog::write(warning);
    cutUtf8(text, maximum);
  }
  timeval now{};
  if (gettimeofday(&now, nullptr) != 0) return;
  const std::int64_t milliseconds = static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_usec / 1000;
  VRDUserLoggingWriteAndCheckABFiles(&context->logStorage, &VRDContextWritable()->logStorageCurrent, [&](VRDFile* file) {
    VRDFileWriteSectionStart(file, "log");
    VRDFileWriteHashStart(file);
    VRDFileWriteHashEntryHexEncodedString(file, "msg", text.c_str());
    VRDFileWriteHashEntryInt64(file, "time", milliseconds);
    VRDFileWriteHashEnd(file);
    VRDFileWriteSectionEnd(file);
  });
}

void VRDLogv(const char* format, va_list arguments) {
  if (format == nullptr) return;
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length < 0) return;
  std::string message(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(message.data(), message.size(), format, arguments);
  message.pop_back();
  VRDLogRecordMessage(message);
}

void VRDNSLogv(const char* format, va_list arguments) {
  if (format == nullptr) return;
  va_list copy;
  va_copy(copy, arguments);
  VRDLogv(format, copy);
  va_end(copy);
  char line[1024];
  std::vsnprintf(line, sizeof line, format, arguments);
  SystemLog::write(line);
}

void VRDLog(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  VRDLogv(format, arguments);
  va_end(arguments);
}

void VRDNSLog(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  VRDNSLogv(format, arguments);
  va_end(arguments);
}

void VRDUserLoggingRecordError(const Error* error, const Dictionary* additionalInfo) {
  VRDBinaryImageCheckForChanges();
  if (error == nullptr || !recordingHere()) return;
  const std::vector<std::uint64_t> stack = currentStack();
  const std::int64_t time = static_cast<std::int64_t>(std::time(nullptr));
  VRDUserLoggingWriteAndCheckABFiles(&logging()->errorStorage, &VRDContextWritable()->errorStorageCurrent,
                                     [&](VRDFile* file) {
                                       VRDFileWriteSectionStart(file, "error");
                                       VRDFileWriteHashStart(file);
                                       VRDFileWriteHashEntryHexEncodedString(file, "domain", error->domain.c_str());
                                       VRDFileWriteHashEntryInt64(file, "code", error->code);
                                       VRDFileWriteHashEntryInt64(file, "time", time);
                                       VRDFileWriteHashKey(file, "stacktrace");
                                       VRDFileWriteArrayStart(file);
                                       for (const std::uint64_t pc : stack) VRDFileWriteArrayEntryUint64(file, pc);
                                       VRDFileWriteArrayEnd(file);
                                       writePairs(file, "info", &error->userInfo);
                                       writePairs(file, "extra_info", additionalInfo);
                                       VRDFileWriteHashEnd(file);
                                       VRDFileWriteSectionEnd(file);
                                     });
}

}  // namespace crashreporting
