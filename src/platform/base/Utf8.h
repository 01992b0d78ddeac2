#pragma once

#include <string>
#include <string_view>

namespace tilvane {

/// `bytes` as valid UTF-8: every ill-formed sequence (stray continuation bytes, overlong forms, surrogates,
/// code points above U+10FFFF, sequences cut short) becomes U+FFFD, each maximal bad subpart once. Other
/// programs' texts are untrusted; this is how they enter the program.
std::string sanitizeUtf8(std::string_view bytes);

/// ISO 8859-1 bytes (the X STRING type) as UTF-8.
std::string latin1ToUtf8(std::string_view bytes);

}  // namespace tilvane
