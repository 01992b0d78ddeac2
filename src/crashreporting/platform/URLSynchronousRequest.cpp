#include "crashreporting/platform/URLSynchronousRequest.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "crashreporting/platform/URLConnection.h"

namespace crashreporting {
namespace {

// Beyond the transfer's own time-out, which curl keeps: room for the report to arrive.
constexpr double kMarginSeconds = 5.0;

class Collector : public URLConnectionDelegate {
 public:
  void connectionDidReceiveResponse(const URLResponse& response) override {
    const std::lock_guard lock(mutex_);
    reply_.response = response;
  }
  void connectionDidReceiveData(const Data& data) override {
    const std::lock_guard lock(mutex_);
    reply_.data.insert(reply_.data.end(), data.begin(), data.end());
  }
  void connectionDidFailWithError(const Error& error) override {
    const std::lock_guard lock(mutex_);
    reply_.error = error;
    finish();
  }
  void connectionDidFinishLoading() override {
    const std::lock_guard lock(mutex_);
    finish();
  }

  /// The outcome, or none when it did not come in time.
  std::optional<URLSynchronousReply> wait(double seconds) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return done_; })) return std::nullopt;
    return reply_;
  }

 private:
  void finish() {
    done_ = true;
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  URLSynchronousReply reply_;
  bool done_ = false;
};

}  // namespace

URLSynchronousReply sendSynchronousRequest(const URLRequest& request,
                                           const std::optional<std::string>& anchorCertificates) {
  const auto collector = std::make_shared<Collector>();
  URLLoader loader;
  const URLLoader::ConnectionId connection = loader.start(request, anchorCertificates, collector,
                                                                // the caller waits: the whole send is bounded too
                                                                request.timeoutInterval());
  const double timeout = request.timeoutInterval();
  const double limit = (std::isfinite(timeout) && timeout > 0 ? std::min(timeout, 3600.0) : 60.0) + kMarginSeconds;
  if (auto reply = collector->wait(limit)) return std::move(*reply);
  loader.cancel(connection);
  URLSynchronousReply late;
  late.error = makeURLError(URLErrorTimedOut, request.URL(), "no reply within the request's time-out");
  return late;
}

}  // namespace crashreporting
