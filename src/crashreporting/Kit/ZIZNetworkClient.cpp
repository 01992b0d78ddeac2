#include "crashreporting/Kit/ZIZNetworkClient.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"
#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/platform/DelayedDispatch.h"
#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {
namespace {

constexpr double kMinimumRetryBase = 2.0;

bool frameworkDebug() { return Shared<Zizozu>::exists() && Zizozu::sharedSDK().debug(); }

/// The client's answer to server-trust challenges. Kept apart from the client so that the session, which
/// holds its delegate until invalidated, never holds the client.
class ClientSessionDelegate : public VRDURLSessionDelegate {
 public:
  explicit ClientSessionDelegate(std::shared_ptr<const ZIZCertificatePinner> pinner) : pinner_(std::move(pinner)) {}

  void URLSessionDidReceiveChallenge(VRDURLSession&, const URLAuthenticationChallenge& challenge,
                                     const ChallengeCompletion& completion) override {
    if (frameworkDebug() || !pinner_) {
      completion(URLSessionAuthChallengeDisposition::performDefaultHandling, std::nullopt);
      return;
    }
    pinner_->handleChallenge(challenge, completion);
  }

 private:
  std::shared_ptr<const ZIZCertificatePinner> pinner_;
};

Error retryLimitError(std::uint64_t limit, const std::string& url) {
  Dictionary info;
  info.emplace("retryLimit", Value(static_cast<std::int64_t>(std::min<std::uint64_t>(limit, INT64_MAX))));
  info.emplace(kURLErrorFailingURLStringKey, Value(url));
  return ZIZNetworkResponseHandler::errorForCode(ZIZNetworkErrorRetryLimit, std::move(info));
}

/// After a retryable outcome: the limit's error, or the same request again after the back-off.
template <class Completion, class Restart>
void retryOrGiveUp(const std::weak_ptr<ZIZNetworkClient>& weak, const URLRequest& request, std::uint64_t limit,
                   std::uint64_t tries, const std::optional<URLResponse>& response, const Completion& completion,
                   Restart restart) {
  if (tries >= limit) {
    completion(std::nullopt, std::nullopt, retryLimitError(limit, request.URL()));
    return;
  }
  const auto client = weak.lock();
  if (!client) {
    completion(std::nullopt, std::nullopt, makeURLError(URLErrorCancelled, request.URL(), "the client went"));
    return;
  }
  client->runAfterRetryValueFromResponse(response, tries, [weak, request, limit, tries, completion, restart] {
    if (const auto alive = weak.lock()) {
      restart(*alive, request, limit, tries + 1, completion);
    } else {
      completion(std::nullopt, std::nullopt, makeURLError(URLErrorCancelled, request.URL(), "the client went"));
    }
  });
}

/// Makes a task (data or download) whose outcome is judged: delivered as it is, or retried after the back-off.
template <class Completion, class MakeTask, class Restart>
void startWithRetries(const std::weak_ptr<ZIZNetworkClient>& weak, const URLRequest& request, std::uint64_t limit,
                      std::uint64_t tries, Completion completion, MakeTask makeTask, Restart restart) {
  const auto task = makeTask([weak, request, limit, tries, completion, restart](
                                 auto payload, std::optional<URLResponse> response, std::optional<Error> error) {
    ZIZNetworkResponseHandler::handleCompletedResponse(
        response, request, error, [&](bool retry, const std::optional<Error>& judged) {
          if (retry) {
            retryOrGiveUp(weak, request, limit, tries, response, completion, restart);
          } else {
            completion(std::move(payload), response, judged);
          }
        });
  });
  if (!task) {
    completion(std::nullopt, std::nullopt, ZIZNetworkResponseHandler::errorForCode(ZIZNetworkErrorNoTask));
    return;
  }
  task->resume();
}

}  // namespace

std::shared_ptr<ZIZNetworkClient> ZIZNetworkClient::create(std::shared_ptr<OperationQueue> queue,
                                                           std::optional<std::vector<Certificate>> pinnedCertificates) {
  return createWithSessionConfiguration(VRDURLSessionConfiguration::defaultSessionConfiguration(), std::move(queue),
                                        std::move(pinnedCertificates));
}

std::shared_ptr<ZIZNetworkClient> ZIZNetworkClient::createWithSessionConfiguration(
    const std::optional<VRDURLSessionConfiguration>& configuration, std::shared_ptr<OperationQueue> queue,
    std::optional<std::vector<Certificate>> pinnedCertificates) {
  std::shared_ptr<ZIZNetworkClient> client(new ZIZNetworkClient());
  if (pinnedCertificates) client->certPinner_ = std::make_shared<ZIZCertificatePinner>(std::move(*pinnedCertificates));
  client->session_ = VRDURLSession::sessionWithConfiguration(
      configuration, std::make_shared<ClientSessionDelegate>(client->certPinner_), std::move(queue));
  if (!client->session_) return nullptr;
  std::random_device device;
  for (unsigned short& word : client->randomState_) word = static_cast<unsigned short>(device());
  return client;
}

ZIZNetworkClient::~ZIZNetworkClient() {
  if (session_) session_->finishTasksAndInvalidate();
}

void ZIZNetworkClient::setScheduler(Scheduler scheduler) {
  const std::lock_guard lock(mutex_);
  scheduler_ = std::move(scheduler);
}

void ZIZNetworkClient::setUniformSource(UniformSource source) {
  const std::lock_guard lock(mutex_);
  uniform_ = std::move(source);
}

void ZIZNetworkClient::startDataTaskWithRequest(const URLRequest& request, DataCompletion completion) {
  startDataTaskWithRequest(request, kDefaultRetryLimit, std::move(completion));
}

void ZIZNetworkClient::startDataTaskWithRequest(const URLRequest& request, std::uint64_t retryLimit,
                                                DataCompletion completion) {
  startDataTaskWithRequest(request, retryLimit, 0, std::move(completion));
}

void ZIZNetworkClient::startDataTaskWithRequest(const URLRequest& request, std::uint64_t retryLimit,
                                                std::uint64_t tries, DataCompletion completion) {
  startWithRetries(
      weak_from_this(), request, retryLimit, tries, std::move(completion),
      [&](auto handler) { return session_->dataTaskWithRequest(request, std::move(handler)); },
      [](ZIZNetworkClient& client, const URLRequest& again, std::uint64_t limit, std::uint64_t next,
         const DataCompletion& done) { client.startDataTaskWithRequest(again, limit, next, done); });
}

void ZIZNetworkClient::startDownloadTaskWithRequest(const URLRequest& request, DownloadCompletion completion) {
  startDownloadTaskWithRequest(request, kDefaultRetryLimit, std::move(completion));
}

void ZIZNetworkClient::startDownloadTaskWithRequest(const URLRequest& request, std::uint64_t retryLimit,
                                                    DownloadCompletion completion) {
  startDownloadTaskWithRequest(request, retryLimit, 0, std::move(completion));
}

void ZIZNetworkClient::startDownloadTaskWithRequest(const URLRequest& request, std::uint64_t retryLimit,
                                                    std::uint64_t tries, DownloadCompletion completion) {
  startWithRetries(
      weak_from_this(), request, retryLimit, tries, std::move(completion),
      [&](auto handler) { return session_->downloadTaskWithRequest(request, std::move(handler)); },
      [](ZIZNetworkClient& client, const URLRequest& again, std::uint64_t limit, std::uint64_t next,
         const DownloadCompletion& done) { client.startDownloadTaskWithRequest(again, limit, next, done); });
}

double ZIZNetworkClient::computeDelayForResponse(const std::optional<URLResponse>& response,
                                                 std::uint64_t retryCount) {
  const double retryValue = ZIZNetworkResponseHandler::retryValueForResponse(response);
  return backOffDelay(retryValue, retryCount, generateRandomJitter());
}

double ZIZNetworkClient::backOffDelay(double retryValue, std::uint64_t retryCount, double jitter) {
  const double exponent = retryCount == 0 ? 1.0 : static_cast<double>(retryCount);
  const double delay = std::pow(std::max(kMinimumRetryBase, retryValue), exponent) * jitter;
  // A large Retry-After or many retries must not overflow the timer's nanoseconds.
  if (!std::isfinite(delay) || delay > kZIZMaxRetryDelay) return kZIZMaxRetryDelay;
  return std::max(delay, 0.0);
}

double ZIZNetworkClient::generateRandomJitter() {
  return randomDoubleWithMin(static_cast<double>(0.9f), static_cast<double>(1.1f));
}

double ZIZNetworkClient::randomDoubleWithMin(double min, double max) {
  double uniform = 0;
  {
    const std::lock_guard lock(mutex_);
    uniform = uniform_ ? uniform_() : erand48(randomState_);
  }
  return min + (max - min) * uniform;
}

void ZIZNetworkClient::runAfterRetryValueFromResponse(const std::optional<URLResponse>& response,
                                                      std::uint64_t attempts, std::function<void()> block) {
  const double seconds = computeDelayForResponse(response, attempts);
  const auto delay = std::chrono::nanoseconds(static_cast<std::int64_t>(seconds * 1e9));
  Scheduler scheduler;
  {
    const std::lock_guard lock(mutex_);
    scheduler = scheduler_;
  }
  if (scheduler) {
    scheduler(delay, std::move(block));
  } else {
    DelayedDispatch::after(delay, std::move(block));
  }
}

void ZIZNetworkClient::invalidateAndCancel() { session_->invalidateAndCancel(); }

}  // namespace crashreporting
