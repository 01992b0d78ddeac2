#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "crashreporting/Kit/VRDURLSession.h"
#include "crashreporting/Kit/ZIZCertificatePinner.h"
#include "crashreporting/platform/Certificate.h"
#include "crashreporting/platform/OperationQueue.h"

namespace crashreporting {

/// Runs the library's requests on a VRDURLSession, retrying what may be retried after an exponential,
/// jittered back-off up to a limit. With pinned certificates only those anchors are trusted for https,
/// except in the framework's debug mode (then the system's store). Completions run on the session's delegate
/// queue; retries are started by a timer on the global queue.
class ZIZNetworkClient : public std::enable_shared_from_this<ZIZNetworkClient> {
 public:
  using DataCompletion = VRDURLSessionDataTask::CompletionHandler;
  using DownloadCompletion = VRDURLSessionDownloadTask::CompletionHandler;
  /// Runs a block once a delay has passed (DelayedDispatch by default).
  using Scheduler = std::function<void(std::chrono::nanoseconds delay, std::function<void()> block)>;
  /// A uniform number in [0, 1) (a 48-bit generator of the client's own by default).
  using UniformSource = std::function<double()>;

  static constexpr std::uint64_t kDefaultRetryLimit = 10;

  /// A client on a session of the default configuration; none when no session results.
  static std::shared_ptr<ZIZNetworkClient> create(std::shared_ptr<OperationQueue> queue = nullptr,
                                                  std::optional<std::vector<Certificate>> pinnedCertificates = {});
  static std::shared_ptr<ZIZNetworkClient> createWithSessionConfiguration(
      const std::optional<VRDURLSessionConfiguration>& configuration, std::shared_ptr<OperationQueue> queue,
      std::optional<std::vector<Certificate>> pinnedCertificates);
  /// Lets the session go on with its tasks, without a delegate.
  ~ZIZNetworkClient();
  ZIZNetworkClient(const ZIZNetworkClient&) = delete;
  ZIZNetworkClient& operator=(const ZIZNetworkClient&) = delete;

  void startDataTaskWithRequest(const URLRequest& request, DataCompletion completion);
  void startDataTaskWithRequest(const URLRequest& request, std::uint64_t retryLimit, DataCompletion completion);
  /// `tries` retries were made already; a limit of 1 allows two attempts in all.
  void startDataTaskWithRequest(const URLRequest& request, std::uint64_t retryLimit, std::uint64_t tries,
                                DataCompletion completion);
  void startDownloadTaskWithRequest(const URLRequest& request, DownloadCompletion completion);
  void startDownloadTaskWithRequest(const URLRequest& request, std::uint64_t retryLimit,
                                    DownloadCompletion completion);
  void startDownloadTaskWithRequest(const URLRequest& request, std::uint64_t retryLimit, std::uint64_t tries,
                                    DownloadCompletion completion);

  /// Seconds: max(2, retryValue) to the power n (1 when n is 0), times the jitter; at most kZIZMaxRetryDelay.
  static double backOffDelay(double retryValue, std::uint64_t retryCount, double jitter);
  /// backOffDelay of the reply's Retry-After and a new jitter.
  double computeDelayForResponse(const std::optional<URLResponse>& response, std::uint64_t retryCount);
  /// A factor in [0.9, 1.1) with the bounds taken as single-precision values.
  double generateRandomJitter();
  double randomDoubleWithMin(double min, double max);
  /// Runs `block` after the computed delay, through the scheduler.
  void runAfterRetryValueFromResponse(const std::optional<URLResponse>& response, std::uint64_t attempts,
                                      std::function<void()> block);

  /// Cancels every task and invalidates the session: it makes no more tasks.
  void invalidateAndCancel();

  const std::shared_ptr<VRDURLSession>& session() const { return session_; }
  const ZIZCertificatePinner* certPinner() const { return certPinner_.get(); }
  void setScheduler(Scheduler scheduler);
  void setUniformSource(UniformSource source);

 private:
  ZIZNetworkClient() = default;
  std::shared_ptr<const ZIZCertificatePinner> certPinner_;
  std::shared_ptr<VRDURLSession> session_;
  mutable std::mutex mutex_;
  Scheduler scheduler_;
  UniformSource uniform_;
  unsigned short randomState_[3] = {};
};

}  // namespace crashreporting
