#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Number text and a printf-style formatter that need no heap and no locks: safe inside a signal handler.

namespace crashreporting {

/// Room for the digits of any 64-bit number plus a NUL.
inline constexpr std::size_t VRDNumberScratchSize = 21;

/// The digits of `value` (decimal, or lower-case hexadecimal without prefix), produced from the end of
/// `scratch` backwards; returns the first digit. `scratch` must hold VRDNumberScratchSize bytes.
const char* VRDFormatUInt64(std::uint64_t value, bool hex, char* scratch) noexcept;

/// Where formatted text goes: a bounded buffer (`fd` < 0; the text is cut at `capacity` − 1 and terminated) or a
/// descriptor, written through `buffer` in chunks.
struct VRDFormatSink {
  char* buffer = nullptr;
  std::size_t capacity = 0;
  std::size_t fill = 0;
  int fd = -1;
  std::size_t total = 0;  // bytes produced, cut or not

  void put(const char* bytes, std::size_t length) noexcept;
  void flush() noexcept;
};

/// Formats into `sink`. Conversions: d i u x c s p %, with the flag 0, a width (at most 64) and the length
/// modifiers hh h l ll z; "%s" of a null pointer gives "(null)", "%p" gives "0x" and lower-case hex. Any other
/// conversion is written as it stands ("%" and the character) and takes no argument.
void VRDFormatV(VRDFormatSink& sink, const char* format, va_list arguments) noexcept;

/// Formats into `out` (at most `capacity` − 1 bytes, always terminated); returns the length of the full text.
std::size_t VRDFormat(char* out, std::size_t capacity, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));

}  // namespace crashreporting
