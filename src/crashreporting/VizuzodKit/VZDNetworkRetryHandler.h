#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/Kit/VRDURLSessionDelegate.h"
#include "crashreporting/Kit/ZIZCertificatePinner.h"
#include "crashreporting/VizuzodKit/VZDBackoffTimer.h"
#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

/// The user-information key of the identifier (unique name) in the retry handler's errors.
inline constexpr const char* kVZDNetworkRetryHandlerIdentifierKey = "VZDNetworkRetryHandlerIdentifier";

enum VZDNetworkRetryHandlerErrorCode : std::int64_t {
  VZDNetworkRetryHandlerErrorRetriesExhausted = -6,
  VZDNetworkRetryHandlerErrorNoTimer = -7,
};

/// Decides after each finished upload whether to send it again and when: retryable outcomes wait on a
/// back-off timer per identifier, up to a retry limit. It also answers server-trust challenges with the
/// pinned certificates, except in the framework's debug mode. One handler serves every upload of a run.
class VZDNetworkRetryHandler {
 public:
  using Completion = std::function<void(bool retry, const std::optional<Error>& error)>;

  static constexpr std::uint64_t kDefaultMaximumRetries = 10;

  /// Pins the library's compiled-in anchors (ZIZPinnedCertificates).
  VZDNetworkRetryHandler();
  /// Pins `certificates`; none: no pinner (default handling).
  explicit VZDNetworkRetryHandler(std::optional<std::vector<Certificate>> certificates);

  /// With the default limit of 10 retries.
  void handleCompletedRequest(const URLRequest& request, const std::optional<URLResponse>& response,
                              const std::string& identifier, const std::optional<Error>& error,
                              const Completion& completion);
  /// Judges the outcome. Not retryable: (false, the judged error). Retryable: after the identifier's next
  /// back-off interval (true, the judged error), while its retry count is at most `maxRetries` (so
  /// `maxRetries` + 1 retries in all); past that (false, the judged error, or −6 when there is none). An empty
  /// identifier has no timer: (false, the judged error, or −7).
  void handleCompletedRequest(const URLRequest& request, const std::optional<URLResponse>& response,
                              const std::string& identifier, std::uint64_t maxRetries,
                              const std::optional<Error>& error, const Completion& completion);

  /// Default handling in debug mode or without a pinner; else the pinner's answer.
  void handleChallenge(const URLAuthenticationChallenge& challenge, VRDURLSession& session,
                       const VRDURLSessionDelegate::ChallengeCompletion& completion) const;

  /// The Retry-After seconds, clamped (ZIZNetworkResponseHandler::retryValueForResponse).
  static double retryValueForResponse(const std::optional<URLResponse>& response);
  /// The identifier's timer, made with `initialRetryValue` when it has none yet; none for an empty identifier.
  std::shared_ptr<VZDBackoffTimer> timerForIdentifier(const std::string& identifier, double initialRetryValue);
  /// `handlerError` when there is one; else a "ZIZNetworkError" of `code` naming the identifier and the URL.
  static Error errorWithCode(std::int64_t code, const std::string& identifier, const URLRequest& request,
                             const std::optional<Error>& handlerError);

  const ZIZCertificatePinner* certPinner() const { return certPinner_.get(); }

  /// For timers made from now on (tests: a virtual clock and a fixed jitter).
  void setScheduler(VZDScheduler scheduler);
  void setUniformSource(VZDBackoffTimer::UniformSource source);

 private:
  std::unique_ptr<const ZIZCertificatePinner> certPinner_;
  std::mutex mutex_;  // guards the map and the settings for new timers
  std::map<std::string, std::shared_ptr<VZDBackoffTimer>> retryTimerMap_;
  VZDScheduler scheduler_;
  VZDBackoffTimer::UniformSource uniform_;
};

}  // namespace crashreporting
