#include "crashreporting/platform/Sha1.h"

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace crashreporting {

Sha1Digest sha1(std::string_view bytes) {
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  Sha1Digest digest{};
  unsigned int length = 0;
  // Only allocation can fail here; there is no digest to give then.
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha1(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size()) {
    throw std::bad_alloc();
  }
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
