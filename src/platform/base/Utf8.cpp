#include "platform/base/Utf8.h"

#include <cstdint>

namespace tilvane {
namespace {
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed sequence at `i`, or 0 with `bad` set to the length of the maximal ill-formed
// subpart (at least 1), following the Unicode standard's table of well-formed byte sequences.
std::size_t sequenceAt(std::string_view s, std::size_t i, std::size_t& bad) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  bad = 1;
  if (c < 0x80) return 1;
  std::size_t length = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) lo = 0xA0;   // no overlong forms
    if (c == 0xED) hi = 0x9F;   // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) lo = 0x90;   // no overlong forms
    if (c == 0xF4) hi = 0x8F;   // nothing above U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (i + k >= s.size()) {
      bad = k;
      return 0;
    }
    const unsigned char b = byte(i + k);
    const bool ok = k == 1 ? (b >= lo && b <= hi) : isContinuation(b);
    if (!ok) {
      bad = k;
      return 0;
    }
  }
  return length;
}
}  // namespace

std::string sanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t bad = 1;
    const std::size_t n = sequenceAt(bytes, i, bad);
    if (n > 0) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      out.append(kReplacement);
      i += bad;
    }
  }
  return out;
}

std::string latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto c = static_cast<std::uint8_t>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace tilvane
