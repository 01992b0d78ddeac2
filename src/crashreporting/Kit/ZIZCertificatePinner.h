#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "crashreporting/Kit/VRDURLSessionDelegate.h"
#include "crashreporting/platform/Certificate.h"

namespace crashreporting {

/// Answers server-trust challenges with a fixed set of anchors: the server's chain must lead to one of them,
/// and to no other authority (the system's store is not consulted). The TLS handshake does the evaluation
/// against the anchors the answer carries.
class ZIZCertificatePinner {
 public:
  explicit ZIZCertificatePinner(std::vector<Certificate> certificates) : certificates_(std::move(certificates)) {}

  const std::vector<Certificate>& certificates() const { return certificates_; }

  /// Calls `completion` with (use credential, the anchors) and answers true for a challenge with a server
  /// trust when there are anchors; otherwise cancels the challenge and answers false.
  bool handleChallenge(const URLAuthenticationChallenge& challenge,
                       const VRDURLSessionDelegate::ChallengeCompletion& completion) const;

  /// A certificate object of DER bytes; none when they are not one certificate.
  static std::optional<Certificate> createCertificationWithData(const Data& der) { return Certificate::fromDER(der); }

 private:
  std::vector<Certificate> certificates_;
};

/// The anchors the library pins: public root authorities compiled in at build time (see
/// docs/ARCHITECTURE.md), read once and shared.
const std::vector<Certificate>& ZIZPinnedCertificates();

}  // namespace crashreporting
