#pragma once

#include <cstddef>
#include <cstdint>

// Hex conversion for record files: high nibble first, digits "0123456789abcdef". Async-signal-safe.

namespace crashreporting {

void VRDHexEncodeByte(std::uint8_t byte, char* out) noexcept;
/// Zeroes 2 × count + 1 bytes of `out`, then writes the digits, so the text is terminated.
void VRDHexEncodeBytes(const std::uint8_t* bytes, std::size_t count, char* out) noexcept;
/// 0–15 for 0–9, a–f, A–F; 255 for anything else.
std::uint8_t VRDHexDigitValue(char c) noexcept;

}  // namespace crashreporting
