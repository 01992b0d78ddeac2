#include "crashreporting/platform/Sha1.h"

#include <cstring>

namespace crashreporting {
namespace {

std::uint32_t rotl(std::uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

void compress(std::uint32_t (&state)[5], const std::uint8_t* block) {
  std::uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
           std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
  for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f = 0, k = 0;
    if (i < 20) f = (b & c) | (~b & d), k = 0x5A827999;
    else if (i < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
    else if (i < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
    else f = b ^ c ^ d, k = 0xCA62C1D6;
    const std::uint32_t next = rotl(a, 5) + f + e + k + w[i];
    e = d, d = c, c = rotl(b, 30), b = a, a = next;
  }
  state[0] += a, state[1] += b, state[2] += c, state[3] += d, state[4] += e;
}

}  // namespace

// Our own few lines rather than a crypto library: hashing is all the library needs of one, and a crypto library
// would stay resident in every host for it.
Sha1Digest sha1(std::string_view bytes) {
  std::uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t whole = bytes.size() / 64 * 64;
  for (std::size_t at = 0; at < whole; at += 64) compress(state, data + at);
  // The tail, the 0x80 marker and the length in bits fill one or two last blocks.
  std::uint8_t tail[128] = {};
  const std::size_t rest = bytes.size() - whole;
  if (rest > 0) std::memcpy(tail, data + whole, rest);
  tail[rest] = 0x80;
  const std::size_t blocks = rest < 56 ? 1 : 2;
  const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
  for (int i = 0; i < 8; ++i) tail[blocks * 64 - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
  for (std::size_t b = 0; b < blocks; ++b) compress(state, tail + 64 * b);
  Sha1Digest digest{};
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

std::string sha1Hex(std::string_view bytes) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t b : sha1(bytes)) {
    out.push_back(hex[b >> 4]);
    out.push_back(hex[b & 0x0F]);
  }
  return out;
}

}  // namespace crashreporting
