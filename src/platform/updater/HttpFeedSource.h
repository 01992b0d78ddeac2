#pragma once

#include "platform/net/HttpClient.h"
#include "platform/updater/FeedSource.h"

namespace tilvane::updates {

/// The update feed fetched over HTTP(S) with the program's HTTP client (certificates checked). The client must
/// outlive this source and every request it hands out.
class HttpFeedSource final : public FeedSource {
 public:
  explicit HttpFeedSource(net::HttpClient& http) : http_(http) {}

  std::unique_ptr<FeedRequest> fetch(const std::string& url, std::size_t maxBodyBytes, double timeoutSeconds,
                                     Completion done) override;

 private:
  net::HttpClient& http_;
};

}  // namespace tilvane::updates
