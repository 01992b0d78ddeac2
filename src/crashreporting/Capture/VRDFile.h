#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The record-file writer: one JSON object per line, streamed token by token. Opened unbuffered it needs no
// heap and makes only open, write, fstat and close calls, so crash-time code uses it from a stack-held VRDFile.
// Plain strings are escaped ('"', '\\', control bytes; ill-formed UTF-8 as U+FFFD) so every line stays JSON.

namespace crashreporting {

struct VRDFile {
  std::int32_t fd = -1;
  std::int32_t depth = 0;
  bool needsComma = false;
  bool buffered = false;
  char* buffer = nullptr;  // VRDFileBufferSize bytes from malloc when buffered
  std::uint64_t fill = 0;
  std::uint64_t bytesWritten = 0;
};

inline constexpr std::size_t VRDFileBufferSize = 1000;

/// Opens `path` write-only, created with 0644, appending or truncating. Resets the state; a buffered file
/// takes a heap buffer; appending starts bytes written at the file's size.
bool VRDFileInitWithPathMode(VRDFile* file, const char* path, bool append, bool buffered) noexcept;
/// The same in append mode.
bool VRDFileInitWithPath(VRDFile* file, const char* path, bool buffered) noexcept;
/// Flushes and frees the buffer, reports the bytes written, closes. On success the state is zeroed, fd −1.
bool VRDFileCloseWithOffset(VRDFile* file, std::uint64_t* bytesWritten) noexcept;
bool VRDFileClose(VRDFile* file) noexcept;
bool VRDFileIsOpen(const VRDFile* file) noexcept;

void VRDFileWriteWithLength(VRDFile* file, const char* bytes, std::size_t length) noexcept;
void VRDFileWriteUInt64(VRDFile* file, std::uint64_t value, bool hex) noexcept;
void VRDFileWriteInt64(VRDFile* file, std::int64_t value) noexcept;

/// "{" and the key `name`: the start of one line.
void VRDFileWriteSectionStart(VRDFile* file, const char* name) noexcept;
/// "}" and "\n".
void VRDFileWriteSectionEnd(VRDFile* file) noexcept;
void VRDFileWriteHashStart(VRDFile* file) noexcept;
void VRDFileWriteHashEnd(VRDFile* file) noexcept;
void VRDFileWriteArrayStart(VRDFile* file) noexcept;
void VRDFileWriteArrayEnd(VRDFile* file) noexcept;
void VRDFileWriteHashKey(VRDFile* file, const char* key) noexcept;

void VRDFileWriteHashEntryUint64(VRDFile* file, const char* key, std::uint64_t value) noexcept;
void VRDFileWriteHashEntryInt64(VRDFile* file, const char* key, std::int64_t value) noexcept;
/// A plain string (escaped), or null for a null pointer.
void VRDFileWriteHashEntryString(VRDFile* file, const char* key, const char* value) noexcept;
/// A string object: its text, or null when absent. Not for crash time (it may have been allocated).
void VRDFileWriteHashEntryNSString(VRDFile* file, const char* key, const std::optional<std::string>& value) noexcept;
/// Nothing at all when the string is absent or empty.
void VRDFileWriteHashEntryNSStringUnlessNilOrEmpty(VRDFile* file, const char* key,
                                                  const std::optional<std::string>& value) noexcept;
/// The bytes of `value` as two lower-case hex digits each, or null for a null pointer.
void VRDFileWriteHashEntryHexEncodedString(VRDFile* file, const char* key, const char* value) noexcept;
void VRDFileWriteHashEntryBoolean(VRDFile* file, const char* key, bool value) noexcept;
void VRDFileWriteArrayEntryUint64(VRDFile* file, std::uint64_t value) noexcept;
void VRDFileWriteArrayEntryString(VRDFile* file, const char* value) noexcept;
void VRDFileWriteArrayEntryHexEncodedString(VRDFile* file, const char* value) noexcept;

/// Writers straight to a descriptor, for the internal log.
void VRDSafeWriteUInt64(int fd, std::uint64_t value, bool hex) noexcept;
void VRDSafeWriteInt64(int fd, std::int64_t value) noexcept;
bool VRDFileWriteWithRetries(int fd, const char* bytes, std::size_t length) noexcept;

/// A write step: writes up to `length` of `bytes`, returns the count written, negative on error.
using VRDFileWriteStep = ssize_t (*)(void* context, const char* bytes, std::size_t length);
/// Calls `step` until all bytes are written: success when a call takes the rest; failure on an error, a result
/// of 0, a result larger than asked, or a 50th partial write.
bool VRDFileLoopWithWriteBlock(const char* bytes, std::size_t length, VRDFileWriteStep step,
                               void* context) noexcept;

}  // namespace crashreporting
