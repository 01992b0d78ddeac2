#include "platform/desktop/x11/NameUuid.h"

#include <openssl/evp.h>

#include <array>
#include <cstdint>

namespace tilvane::x11 {
namespace {
// Tilvane's namespace for name-based UUIDs (a fixed random UUID).
constexpr std::array<std::uint8_t, 16> kNamespace{0x6b, 0x1f, 0x3a, 0x52, 0x90, 0x4e, 0x4c, 0x1d,
                                                 0xa7, 0x3e, 0x55, 0x0c, 0x2b, 0xd8, 0x91, 0x64};
}  // namespace

std::string nameUuid(std::string_view name) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, EVP_sha1(), nullptr);
  EVP_DigestUpdate(ctx, kNamespace.data(), kNamespace.size());
  EVP_DigestUpdate(ctx, name.data(), name.size());
  EVP_DigestFinal_ex(ctx, digest.data(), &length);
  EVP_MD_CTX_free(ctx);

  digest[6] = static_cast<unsigned char>((digest[6] & 0x0F) | 0x50);  // version 5
  digest[8] = static_cast<unsigned char>((digest[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(36);
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 0x0F]);
  }
  return out;
}

std::string displayUuid(std::string_view identityKey) { return nameUuid("display:" + std::string(identityKey)); }

std::string desktopUuid(unsigned n) { return nameUuid("desktop:" + std::to_string(n)); }

}  // namespace tilvane::x11
