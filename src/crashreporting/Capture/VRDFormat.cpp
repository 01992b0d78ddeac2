#include "crashreporting/Capture/VRDFormat.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace crashreporting {

const char* VRDFormatUInt64(std::uint64_t value, bool hex, char* scratch) noexcept {
  static constexpr char digits[] = "0123456789abcdef";
  const unsigned base = hex ? 16 : 10;
  char* p = scratch + VRDNumberScratchSize - 1;
  *p = '\0';
  do {
    *--p = digits[value % base];
    value /= base;
  } while (value != 0);
  return p;
}

void VRDFormatSink::put(const char* bytes, std::size_t length) noexcept {
  total += length;
  if (fd < 0) {
    if (capacity == 0) return;
    const std::size_t room = capacity - 1 - fill;
    const std::size_t n = length < room ? length : room;
    std::memcpy(buffer + fill, bytes, n);
    fill += n;
    buffer[fill] = '\0';
    return;
  }
  while (length > 0) {
    if (fill == capacity) flush();
    const std::size_t room = capacity - fill;
    const std::size_t n = length < room ? length : room;
    std::memcpy(buffer + fill, bytes, n);
    fill += n;
    bytes += n;
    length -= n;
  }
}

void VRDFormatSink::flush() noexcept {
  if (fd < 0) return;
  std::size_t done = 0;
  const int savedErrno = errno;
  while (done < fill) {
    const ssize_t n = write(fd, buffer + done, fill - done);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  errno = savedErrno;
  fill = 0;
}

namespace {

enum class Length { Int, Char, Short, Long, LongLong, Size };

void pad(VRDFormatSink& sink, char c, std::size_t count) noexcept {
  for (std::size_t i = 0; i < count; ++i) sink.put(&c, 1);
}

void putPadded(VRDFormatSink& sink, const char* text, std::size_t length, std::size_t width, bool zero,
               bool negative) noexcept {
  const std::size_t shown = length + (negative ? 1 : 0);
  const std::size_t fillCount = width > shown ? width - shown : 0;
  if (zero) {
    if (negative) sink.put("-", 1);
    pad(sink, '0', fillCount);
  } else {
    pad(sink, ' ', fillCount);
    if (negative) sink.put("-", 1);
  }
  sink.put(text, length);
}

std::int64_t signedArgument(va_list& arguments, Length length) noexcept {
  switch (length) {
    case Length::Char: return static_cast<signed char>(va_arg(arguments, int));
    case Length::Short: return static_cast<short>(va_arg(arguments, int));
    case Length::Long: return va_arg(arguments, long);
    case Length::LongLong: return va_arg(arguments, long long);
    case Length::Size: return va_arg(arguments, ssize_t);
    case Length::Int: break;
  }
  return va_arg(arguments, int);
}

std::uint64_t unsignedArgument(va_list& arguments, Length length) noexcept {
  switch (length) {
    case Length::Char: return static_cast<unsigned char>(va_arg(arguments, unsigned));
    case Length::Short: return static_cast<unsigned short>(va_arg(arguments, unsigned));
    case Length::Long: return va_arg(arguments, unsigned long);
    case Length::LongLong: return va_arg(arguments, unsigned long long);
    case Length::Size: return va_arg(arguments, std::size_t);
    case Length::Int: break;
  }
  return va_arg(arguments, unsigned);
}

}  // namespace

void VRDFormatV(VRDFormatSink& sink, const char* format, va_list arguments) noexcept {
  va_list args;
  va_copy(args, arguments);
  const char* p = format;
  while (*p != '\0') {
    const char* plain = p;
    while (*p != '\0' && *p != '%') ++p;
    if (p > plain) sink.put(plain, static_cast<std::size_t>(p - plain));
    if (*p == '\0') break;
    const char* start = p++;  // at the "%"
    bool zero = false;
    std::size_t width = 0;
    if (*p == '0') {
      zero = true;
      ++p;
    }
    while (*p >= '0' && *p <= '9') {
      width = width * 10 + static_cast<std::size_t>(*p - '0');
      if (width > 64) width = 64;
      ++p;
    }
    Length length = Length::Int;
    if (p[0] == 'h' && p[1] == 'h') {
      length = Length::Char;
      p += 2;
    } else if (p[0] == 'h') {
      length = Length::Short;
      ++p;
    } else if (p[0] == 'l' && p[1] == 'l') {
      length = Length::LongLong;
      p += 2;
    } else if (p[0] == 'l') {
      length = Length::Long;
      ++p;
    } else if (p[0] == 'z') {
      length = Length::Size;
      ++p;
    }
    char scratch[VRDNumberScratchSize];
    switch (*p) {
      case 'd':
      case 'i': {
        const std::int64_t value = signedArgument(args, length);
        const bool negative = value < 0;
        const std::uint64_t magnitude =
            negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
        const char* digits = VRDFormatUInt64(magnitude, false, scratch);
        putPadded(sink, digits, std::strlen(digits), width, zero, negative);
        break;
      }
      case 'u':
      case 'x': {
        const char* digits = VRDFormatUInt64(unsignedArgument(args, length), *p == 'x', scratch);
        putPadded(sink, digits, std::strlen(digits), width, zero, false);
        break;
      }
      case 'p': {
        const char* digits =
            VRDFormatUInt64(reinterpret_cast<std::uintptr_t>(va_arg(args, void*)), true, scratch);
        const std::size_t n = std::strlen(digits);
        if (!zero) pad(sink, ' ', width > n + 2 ? width - n - 2 : 0);
        sink.put("0x", 2);
        if (zero) pad(sink, '0', width > n + 2 ? width - n - 2 : 0);
        sink.put(digits, n);
        break;
      }
      case 's': {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        putPadded(sink, text, std::strlen(text), width, false, false);
        break;
      }
      case 'c': {
        const char c = static_cast<char>(va_arg(args, int));
        putPadded(sink, &c, 1, width, false, false);
        break;
      }
      case '%':
        sink.put("%", 1);
        break;
      case '\0':
        sink.put(start, static_cast<std::size_t>(p - start));
        va_end(args);
        return;
      default:
        sink.put(start, static_cast<std::size_t>(p + 1 - start));
        break;
    }
    ++p;
  }
  va_end(args);
}

std::size_t VRDFormat(char* out, std::size_t capacity, const char* format, ...) noexcept {
  VRDFormatSink sink{out, capacity, 0, -1, 0};
  if (capacity > 0) out[0] = '\0';
  va_list arguments;
  va_start(arguments, format);
  VRDFormatV(sink, format, arguments);
  va_end(arguments);
  return sink.total;
}

}  // namespace crashreporting
