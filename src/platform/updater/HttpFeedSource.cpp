#include "platform/updater/HttpFeedSource.h"

#include <utility>

namespace tilvane::updates {
namespace {
// Letting the request go cancels the exchange, so its completion never runs after.
class HttpFeedRequest final : public FeedRequest {
 public:
  HttpFeedRequest(net::HttpClient& http, net::HttpClient::RequestId id) : http_(http), id_(id) {}
  ~HttpFeedRequest() override { http_.cancel(id_); }

 private:
  net::HttpClient& http_;
  net::HttpClient::RequestId id_;
};
}  // namespace

std::unique_ptr<FeedRequest> HttpFeedSource::fetch(const std::string& url, std::size_t maxBodyBytes,
                                                   double timeoutSeconds, Completion done) {
  const auto id = http_.get(url, timeoutSeconds, maxBodyBytes, [done = std::move(done)](net::HttpResponse reply) {
    const std::string error = reply.errorText();
    done({error, reply.status, error.empty() ? std::move(reply.body) : std::string()});
  });
  return std::make_unique<HttpFeedRequest>(http_, id);
}

}  // namespace tilvane::updates
