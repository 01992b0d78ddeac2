#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace crashreporting {

using Sha1Digest = std::array<std::uint8_t, 20>;

/// The SHA-1 digest of `bytes`.
Sha1Digest sha1(std::string_view bytes);

/// The digest as 40 lower-case hexadecimal characters.
std::string sha1Hex(std::string_view bytes);

}  // namespace crashreporting
