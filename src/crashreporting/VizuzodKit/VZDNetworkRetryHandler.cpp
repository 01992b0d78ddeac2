#include "crashreporting/VizuzodKit/VZDNetworkRetryHandler.h"

#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/Kit/Zizozu.h"

namespace crashreporting {

VZDNetworkRetryHandler::VZDNetworkRetryHandler() : VZDNetworkRetryHandler(ZIZPinnedCertificates()) {}

VZDNetworkRetryHandler::VZDNetworkRetryHandler(std::optional<std::vector<Certificate>> certificates) {
  if (certificates) certPinner_ = std::make_unique<ZIZCertificatePinner>(std::move(*certificates));
}

void VZDNetworkRetryHandler::handleCompletedRequest(const URLRequest& request,
                                                    const std::optional<URLResponse>& response,
                                                    const std::string& identifier, const std::optional<Error>& error,
                                                    const Completion& completion) {
  handleCompletedRequest(request, response, identifier, kDefaultMaximumRetries, error, completion);
}

void VZDNetworkRetryHandler::handleCompletedRequest(const URLRequest& request,
                                                    const std::optional<URLResponse>& response,
                                                    const std::string& identifier, std::uint64_t maxRetries,
                                                    const std::optional<Error>& error, const Completion& completion) {
  bool retryable = false;
  std::optional<Error> judged;
  ZIZNetworkResponseHandler::handleCompletedResponse(response, request, error,
                                                     [&](bool retry, const std::optional<Error>& handlerError) {
                                                       retryable = retry;
                                                       judged = handlerError;
                                                     });
  if (!retryable) {
    completion(false, judged);
    return;
  }
  const auto timer = timerForIdentifier(identifier, retryValueForResponse(response));
  if (!timer) {
    completion(false, errorWithCode(VZDNetworkRetryHandlerErrorNoTimer, identifier, request, judged));
    return;
  }
  // One task per identifier at a time, so its timer is never used by two completions at once.
  if (timer->retryCount() > maxRetries) {
    completion(false, errorWithCode(VZDNetworkRetryHandlerErrorRetriesExhausted, identifier, request, judged));
    return;
  }
  timer->executeBlockAfterNextInterval([completion, judged] { completion(true, judged); });
}

void VZDNetworkRetryHandler::handleChallenge(const URLAuthenticationChallenge& challenge, VRDURLSession&,
                                             const VRDURLSessionDelegate::ChallengeCompletion& completion) const {
  if (ZIZIsDebugEnabled() || !certPinner_) {
    completion(URLSessionAuthChallengeDisposition::performDefaultHandling, std::nullopt);
    return;
  }
  certPinner_->handleChallenge(challenge, completion);
}

double VZDNetworkRetryHandler::retryValueForResponse(const std::optional<URLResponse>& response) {
  return ZIZNetworkResponseHandler::retryValueForResponse(response);
}

std::shared_ptr<VZDBackoffTimer> VZDNetworkRetryHandler::timerForIdentifier(const std::string& identifier,
                                                                            double initialRetryValue) {
  if (identifier.empty()) return nullptr;
  const std::lock_guard lock(mutex_);
  auto& timer = retryTimerMap_[identifier];
  if (!timer) {
    timer = std::make_shared<VZDBackoffTimer>(initialRetryValue);
    if (scheduler_) timer->setScheduler(scheduler_);
    if (uniform_) timer->setUniformSource(uniform_);
  }
  return timer;
}

Error VZDNetworkRetryHandler::errorWithCode(std::int64_t code, const std::string& identifier,
                                            const URLRequest& request, const std::optional<Error>& handlerError) {
  if (handlerError) return *handlerError;
  Dictionary info;
  info.emplace(kVZDNetworkRetryHandlerIdentifierKey, Value(identifier.empty() ? "(null)" : identifier));
  if (!request.URL().empty()) info.emplace(kURLErrorFailingURLStringKey, Value(request.URL()));
  return ZIZNetworkResponseHandler::errorForCode(code, std::move(info));
}

void VZDNetworkRetryHandler::setScheduler(VZDScheduler scheduler) {
  const std::lock_guard lock(mutex_);
  scheduler_ = std::move(scheduler);
}

void VZDNetworkRetryHandler::setUniformSource(VZDBackoffTimer::UniformSource source) {
  const std::lock_guard lock(mutex_);
  uniform_ = std::move(source);
}

}  // namespace crashreporting
