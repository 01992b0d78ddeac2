#include "crashreporting/platform/Certificate.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <climits>
#include <memory>

namespace crashreporting {
namespace {

using X509Pointer = std::unique_ptr<X509, decltype(&X509_free)>;
using BioPointer = std::unique_ptr<BIO, decltype(&BIO_free)>;

std::optional<Data> derOf(const X509& certificate) {
  const int length = i2d_X509(&certificate, nullptr);
  if (length <= 0) return std::nullopt;
  Data der(static_cast<std::size_t>(length));
  unsigned char* out = der.data();
  if (i2d_X509(&certificate, &out) != length) return std::nullopt;
  return der;
}

}  // namespace

std::optional<Certificate> Certificate::fromDER(const Data& der) {
  if (der.empty() || der.size() > static_cast<std::size_t>(LONG_MAX)) return std::nullopt;
  const unsigned char* in = der.data();
  const X509Pointer certificate(d2i_X509(nullptr, &in, static_cast<long>(der.size())), &X509_free);
  // Trailing bytes would be a second object that the anchors would silently drop.
  if (!certificate || in != der.data() + der.size()) return std::nullopt;
  return Certificate(der);
}

std::vector<Certificate> Certificate::fromPEM(std::string_view pem) {
  std::vector<Certificate> certificates;
  if (pem.size() > static_cast<std::size_t>(INT_MAX)) return certificates;
  const BioPointer bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
  if (!bio) return certificates;
  for (;;) {
    const X509Pointer certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), &X509_free);
    if (!certificate) break;
    if (auto der = derOf(*certificate)) certificates.push_back(Certificate(std::move(*der)));
  }
  return certificates;
}

std::string Certificate::pem() const {
  const unsigned char* in = der_.data();
  const X509Pointer certificate(d2i_X509(nullptr, &in, static_cast<long>(der_.size())), &X509_free);
  const BioPointer bio(BIO_new(BIO_s_mem()), &BIO_free);
  if (!certificate || !bio || PEM_write_bio_X509(bio.get(), certificate.get()) != 1) return {};
  char* text = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &text);
  return length > 0 && text ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace crashreporting
