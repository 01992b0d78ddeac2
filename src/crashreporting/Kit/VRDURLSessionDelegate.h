#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/platform/Certificate.h"
#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

class VRDURLSession;
class VRDURLSessionTask;
class VRDURLSessionDataTask;
class VRDURLSessionDownloadTask;

/// The server of an https request whose certificate is to be judged. On Linux the certificate chain is
/// judged in the TLS handshake itself, by the trust the challenge's answer sets.
struct ServerTrust {
  std::string host;
};

struct URLProtectionSpace {
  std::string host;
  std::string authenticationMethod;
  /// Set for a server-trust challenge.
  std::optional<ServerTrust> serverTrust;
};

inline constexpr const char* kURLAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";

struct URLAuthenticationChallenge {
  URLProtectionSpace protectionSpace;
};

/// The answer to a server-trust challenge: trust these anchors, and them alone.
struct URLCredential {
  std::vector<Certificate> anchorCertificates;
};

enum class URLSessionAuthChallengeDisposition : int {
  useCredential = 0,
  performDefaultHandling = 1,
  cancelAuthenticationChallenge = 2,
  rejectProtectionSpace = 3,
};

enum class URLSessionResponseDisposition : int { cancel = 0, allow = 1, becomeDownload = 2 };

/// The session delegate. Every call comes on the session's delegate queue; the defaults do nothing (the
/// challenge's default asks for default handling: the system's certificate store).
class VRDURLSessionDelegate {
 public:
  using ChallengeCompletion = std::function<void(URLSessionAuthChallengeDisposition, std::optional<URLCredential>)>;
  using ResponseCompletion = std::function<void(URLSessionResponseDisposition)>;

  virtual ~VRDURLSessionDelegate() = default;
  virtual void URLSessionDidBecomeInvalidWithError(VRDURLSession&, const std::optional<Error>&) {}
  virtual void URLSessionDidReceiveChallenge(VRDURLSession&, const URLAuthenticationChallenge&,
                                             const ChallengeCompletion& completion) {
    completion(URLSessionAuthChallengeDisposition::performDefaultHandling, std::nullopt);
  }
  virtual void URLSessionTaskDidCompleteWithError(VRDURLSession&, VRDURLSessionTask&, const std::optional<Error>&) {}
  virtual void URLSessionDataTaskDidReceiveResponse(VRDURLSession&, VRDURLSessionDataTask&, const URLResponse&,
                                                    const ResponseCompletion&) {}
  virtual void URLSessionDataTaskDidReceiveData(VRDURLSession&, VRDURLSessionDataTask&, const Data&) {}
  virtual void URLSessionDownloadTaskDidFinishDownloadingToURL(VRDURLSession&, VRDURLSessionDownloadTask&,
                                                               const std::filesystem::path&) {}
};

}  // namespace crashreporting
