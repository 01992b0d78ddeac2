#include "crashreporting/Capture/VRDFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "crashreporting/Capture/VRDFormat.h"
#include "crashreporting/Capture/VRDHex.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUtilities.h"

namespace crashreporting {
namespace {

ssize_t writeToDescriptor(void* context, const char* bytes, std::size_t length) {
  const int fd = *static_cast<const int*>(context);
  errno = 0;
  ssize_t n;
  do {
    n = write(fd, bytes, length);
  } while (n < 0 && errno == EINTR);
  if (n < 0) VRDLogError("Failed to write: %s\n", VRDErrorText(errno));
  return n;
}

void flushBuffer(VRDFile* file) noexcept {
  if (file->fill == 0) return;
  int fd = file->fd;
  if (VRDFileLoopWithWriteBlock(file->buffer, file->fill, writeToDescriptor, &fd)) file->bytesWritten += file->fill;
  file->fill = 0;
}

void writeRaw(VRDFile* file, const char* bytes, std::size_t length) noexcept {
  VRDFileWriteWithLength(file, bytes, length);
}

void writeComma(VRDFile* file) noexcept {
  if (file->needsComma) writeRaw(file, ",", 1);
}

void open(VRDFile* file, char bracket) noexcept {
  writeComma(file);
  writeRaw(file, &bracket, 1);
  ++file->depth;
  file->needsComma = false;
}

void close(VRDFile* file, char bracket) noexcept {
  writeRaw(file, &bracket, 1);
  if (file->depth > 0) {
    file->needsComma = file->depth > 1;
    --file->depth;
  }
}

// Length of the well-formed UTF-8 sequence at `p` (at most `left` bytes), 0 when it is ill-formed.
std::size_t utf8SequenceLength(const unsigned char* p, std::size_t left) noexcept {
  const unsigned char b = p[0];
  std::size_t n;
  std::uint32_t min;
  std::uint32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2, min = 0x80, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, min = 0x800, cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, min = 0x10000, cp = b & 0x07;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// The string between quotes, escaped, through a small stack scratch.
void writeEscapedString(VRDFile* file, const char* value) noexcept {
  static constexpr char hex[] = "0123456789abcdef";
  char scratch[64];
  std::size_t used = 0;
  auto emit = [&](const char* bytes, std::size_t n) {
    if (used + n > sizeof scratch) {
      writeRaw(file, scratch, used);
      used = 0;
    }
    std::memcpy(scratch + used, bytes, n);
    used += n;
  };
  emit("\"", 1);
  const auto* p = reinterpret_cast<const unsigned char*>(value);
  std::size_t left = std::strlen(value);
  while (left > 0) {
    const unsigned char c = *p;
    if (c >= 0x80) {
      const std::size_t n = utf8SequenceLength(p, left);
      if (n == 0) {
        emit("\\ufffd", 6);
        ++p, --left;
      } else {
        emit(reinterpret_cast<const char*>(p), n);
        p += n, left -= n;
      }
      continue;
    }
    switch (c) {
      case '"': emit("\\\"", 2); break;
      case '\\': emit("\\\\", 2); break;
      case '\n': emit("\\n", 2); break;
      case '\r': emit("\\r", 2); break;
      case '\t': emit("\\t", 2); break;
      default:
        if (c < 0x20) {
          const char escaped[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
          emit(escaped, 6);
        } else {
          emit(reinterpret_cast<const char*>(p), 1);
        }
    }
    ++p, --left;
  }
  emit("\"", 1);
  writeRaw(file, scratch, used);
}

// Hex of the bytes, 16 at a time, so no scratch larger than 32 digits is needed.
void writeHexString(VRDFile* file, const char* value) noexcept {
  writeRaw(file, "\"", 1);
  std::size_t left = std::strlen(value);
  const auto* p = reinterpret_cast<const std::uint8_t*>(value);
  while (left > 0) {
    const std::size_t n = left < 16 ? left : 16;
    char digits[33];
    VRDHexEncodeBytes(p, n, digits);
    writeRaw(file, digits, 2 * n);
    p += n;
    left -= n;
  }
  writeRaw(file, "\"", 1);
}

void writeStringOrNull(VRDFile* file, const char* value, bool hexEncoded) noexcept {
  if (value == nullptr) {
    writeRaw(file, "null", 4);
  } else if (hexEncoded) {
    writeHexString(file, value);
  } else {
    writeEscapedString(file, value);
  }
}

}  // namespace

bool VRDFileInitWithPathMode(VRDFile* file, const char* path, bool append, bool buffered) noexcept {
  if (file == nullptr) {
    VRDLogWarn("Error: file is null\n");
    return false;
  }
  *file = VRDFile{};
  // Non-blocking: a FIFO in a record's place must not hold the host (or its crash) at the open.
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : O_TRUNC);
  file->fd = ::open(path, flags, 0644);
  if (file->fd < 0) {
    VRDLogWarn("Error: Unable to open file %s\n", VRDErrorText(errno));
    VRDLogWarn("Error: file descriptor invalid\n");
    file->fd = -1;
    return false;
  }
  if (buffered) {
    file->buffer = static_cast<char*>(std::malloc(VRDFileBufferSize));
    file->buffered = file->buffer != nullptr;
  }
  if (append) {
    struct stat status {};
    if (fstat(file->fd, &status) == 0) file->bytesWritten = static_cast<std::uint64_t>(status.st_size);
  }
  return true;
}

bool VRDFileInitWithPath(VRDFile* file, const char* path, bool buffered) noexcept {
  return VRDFileInitWithPathMode(file, path, true, buffered);
}

bool VRDFileCloseWithOffset(VRDFile* file, std::uint64_t* bytesWritten) noexcept {
  if (file == nullptr) {
    VRDLogWarn("Error: file is null\n");
    return false;
  }
  if (file->buffered) {
    flushBuffer(file);
    std::free(file->buffer);
    file->buffer = nullptr;
    file->buffered = false;
  }
  if (bytesWritten != nullptr) *bytesWritten = file->bytesWritten;
  if (::close(file->fd) != 0) {
    VRDLogWarn("Error: Unable to close file %s\n", VRDErrorText(errno));
    return false;
  }
  *file = VRDFile{};
  return true;
}

bool VRDFileClose(VRDFile* file) noexcept { return VRDFileCloseWithOffset(file, nullptr); }

bool VRDFileIsOpen(const VRDFile* file) noexcept { return file != nullptr && file->fd >= 0; }

void VRDFileWriteWithLength(VRDFile* file, const char* bytes, std::size_t length) noexcept {
  if (file == nullptr || length == 0) return;
  if (!file->buffered) {
    int fd = file->fd;
    if (VRDFileLoopWithWriteBlock(bytes, length, writeToDescriptor, &fd)) file->bytesWritten += length;
    return;
  }
  // A buffer that reaches VRDFileBufferSize − 1 bytes is written out at once.
  while (file->fill + length >= VRDFileBufferSize - 1) {
    const std::size_t n = VRDFileBufferSize - 1 - file->fill;
    std::memcpy(file->buffer + file->fill, bytes, n);
    file->fill += n;
    file->buffer[file->fill] = '\0';
    bytes += n;
    length -= n;
    flushBuffer(file);
  }
  std::memcpy(file->buffer + file->fill, bytes, length);
  file->fill += length;
}

void VRDFileWriteUInt64(VRDFile* file, std::uint64_t value, bool hex) noexcept {
  char scratch[VRDNumberScratchSize];
  const char* digits = VRDFormatUInt64(value, hex, scratch);
  writeRaw(file, digits, std::strlen(digits));
}

void VRDFileWriteInt64(VRDFile* file, std::int64_t value) noexcept {
  if (value < 0) writeRaw(file, "-", 1);
  const std::uint64_t magnitude = value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  VRDFileWriteUInt64(file, magnitude, false);
}

void VRDFileWriteSectionStart(VRDFile* file, const char* name) noexcept {
  VRDFileWriteHashStart(file);
  VRDFileWriteHashKey(file, name);
}

void VRDFileWriteSectionEnd(VRDFile* file) noexcept {
  VRDFileWriteHashEnd(file);
  writeRaw(file, "\n", 1);
}

void VRDFileWriteHashStart(VRDFile* file) noexcept { open(file, '{'); }
void VRDFileWriteHashEnd(VRDFile* file) noexcept { close(file, '}'); }
void VRDFileWriteArrayStart(VRDFile* file) noexcept { open(file, '['); }
void VRDFileWriteArrayEnd(VRDFile* file) noexcept { close(file, ']'); }

void VRDFileWriteHashKey(VRDFile* file, const char* key) noexcept {
  writeComma(file);
  writeEscapedString(file, key);
  writeRaw(file, ":", 1);
  file->needsComma = false;
}

void VRDFileWriteHashEntryUint64(VRDFile* file, const char* key, std::uint64_t value) noexcept {
  VRDFileWriteHashKey(file, key);
  VRDFileWriteUInt64(file, value, false);
  file->needsComma = true;
}

void VRDFileWriteHashEntryInt64(VRDFile* file, const char* key, std::int64_t value) noexcept {
  VRDFileWriteHashKey(file, key);
  VRDFileWriteInt64(file, value);
  file->needsComma = true;
}

void VRDFileWriteHashEntryString(VRDFile* file, const char* key, const char* value) noexcept {
  VRDFileWriteHashKey(file, key);
  writeStringOrNull(file, value, false);
  file->needsComma = true;
}

void VRDFileWriteHashEntryNSString(VRDFile* file, const char* key, const std::optional<std::string>& value) noexcept {
  VRDFileWriteHashEntryString(file, key, value ? value->c_str() : nullptr);
}

void VRDFileWriteHashEntryNSStringUnlessNilOrEmpty(VRDFile* file, const char* key,
                                                  const std::optional<std::string>& value) noexcept {
  if (value && !value->empty()) VRDFileWriteHashEntryString(file, key, value->c_str());
}

void VRDFileWriteHashEntryHexEncodedString(VRDFile* file, const char* key, const char* value) noexcept {
  VRDFileWriteHashKey(file, key);
  writeStringOrNull(file, value, true);
  file->needsComma = true;
}

void VRDFileWriteHashEntryBoolean(VRDFile* file, const char* key, bool value) noexcept {
  VRDFileWriteHashKey(file, key);
  if (value) {
    writeRaw(file, "true", 4);
  } else {
    writeRaw(file, "false", 5);
  }
  file->needsComma = true;
}

void VRDFileWriteArrayEntryUint64(VRDFile* file, std::uint64_t value) noexcept {
  writeComma(file);
  VRDFileWriteUInt64(file, value, false);
  file->needsComma = true;
}

void VRDFileWriteArrayEntryString(VRDFile* file, const char* value) noexcept {
  writeComma(file);
  writeStringOrNull(file, value, false);
  file->needsComma = true;
}

void VRDFileWriteArrayEntryHexEncodedString(VRDFile* file, const char* value) noexcept {
  writeComma(file);
  writeStringOrNull(file, value, true);
  file->needsComma = true;
}

void VRDSafeWriteUInt64(int fd, std::uint64_t value, bool hex) noexcept {
  char scratch[VRDNumberScratchSize];
  const char* digits = VRDFormatUInt64(value, hex, scratch);
  VRDFileWriteWithRetries(fd, digits, std::strlen(digits));
}

void VRDSafeWriteInt64(int fd, std::int64_t value) noexcept {
  if (value < 0) VRDFileWriteWithRetries(fd, "-", 1);
  VRDSafeWriteUInt64(fd, value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value),
                     false);
}

bool VRDFileWriteWithRetries(int fd, const char* bytes, std::size_t length) noexcept {
  return VRDFileLoopWithWriteBlock(bytes, length, writeToDescriptor, &fd);
}

bool VRDFileLoopWithWriteBlock(const char* bytes, std::size_t length, VRDFileWriteStep step,
                               void* context) noexcept {
  if (length == 0) return true;
  for (int attempt = 0; attempt < 50; ++attempt) {
    const ssize_t n = step(context, bytes, length);
    if (n > 0 && static_cast<std::size_t>(n) == length) return true;
    if (n > 0 && static_cast<std::size_t>(n) > length) {
      VRDLogError("Error: length doesn't make sense (%zd, %zu)\n", n, length);
      return false;
    }
    if (n <= 0) break;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
  VRDLogError("Error: exited write loop without success\n");
  return false;
}

}  // namespace crashreporting
