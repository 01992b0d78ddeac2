#include "crashreporting/Capture/VRDHex.h"

#include <cstring>

namespace crashreporting {

void VRDHexEncodeByte(std::uint8_t byte, char* out) noexcept {
  static constexpr char digits[] = "0123456789abcdef";
  out[0] = digits[byte >> 4];
  out[1] = digits[byte & 0xF];
}

void VRDHexEncodeBytes(const std::uint8_t* bytes, std::size_t count, char* out) noexcept {
  std::memset(out, 0, 2 * count + 1);
  for (std::size_t i = 0; i < count; ++i) VRDHexEncodeByte(bytes[i], out + 2 * i);
}

std::uint8_t VRDHexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  return 255;
}

}  // namespace crashreporting
