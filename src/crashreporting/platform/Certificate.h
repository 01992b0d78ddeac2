#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// One X.509 certificate, kept as its DER bytes: the stand-in for the platform's certificate object.
class Certificate {
 public:
  /// The certificate of these DER bytes; none when they are not exactly one certificate.
  static std::optional<Certificate> fromDER(const Data& der);
  /// Every certificate of a PEM text, in order ("-----BEGIN CERTIFICATE-----" blocks); others are skipped.
  static std::vector<Certificate> fromPEM(std::string_view pem);

  const Data& der() const { return der_; }
  /// The PEM text of this certificate.
  std::string pem() const;

  bool operator==(const Certificate&) const = default;

 private:
  explicit Certificate(Data der) : der_(std::move(der)) {}
  Data der_;
};

}  // namespace crashreporting
