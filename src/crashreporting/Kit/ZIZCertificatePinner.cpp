#include "crashreporting/Kit/ZIZCertificatePinner.h"

namespace crashreporting {

bool ZIZCertificatePinner::handleChallenge(const URLAuthenticationChallenge& challenge,
                                           const VRDURLSessionDelegate::ChallengeCompletion& completion) const {
  if (!challenge.protectionSpace.serverTrust || certificates_.empty()) {
    completion(URLSessionAuthChallengeDisposition::cancelAuthenticationChallenge, std::nullopt);
    return false;
  }
  completion(URLSessionAuthChallengeDisposition::useCredential, URLCredential{certificates_});
  return true;
}

}  // namespace crashreporting
