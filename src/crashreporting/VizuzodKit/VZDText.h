#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace crashreporting {

/// The length of UTF-8 text in UTF-16 units (a character beyond the basic plane counts two).
std::size_t VZDUTF16Length(std::string_view text);
/// The longest prefix of whole characters that fits in `units` UTF-16 units: a cut never splits a UTF-8
/// sequence or leaves half of a surrogate pair.
std::string VZDPrefixOfUTF16Units(std::string_view text, std::size_t units);

}  // namespace crashreporting
