#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace tilvane::updates {

/// What a fetch of the feed gave.
struct FeedResponse {
  /// Empty when an answer came (whatever its status); else why none did: refused, time-out, TLS, a body over
  /// the cap.
  std::string error;
  /// The HTTP status of the answer (0 when none came).
  long status = 0;
  /// The body of the answer, at most the cap asked for.
  std::string body;
};

/// A fetch under way. Letting it go cancels it: its completion is then never called.
class FeedRequest {
 public:
  virtual ~FeedRequest() = default;
};

/// The transport of the update feed: one GET of an address, answered on the main loop.
class FeedSource {
 public:
  using Completion = std::function<void(const FeedResponse&)>;

  virtual ~FeedSource() = default;

  /// Fetches `url` without blocking the caller. `done` runs once, as a task of the main loop, unless the
  /// request is let go first. A body longer than `maxBodyBytes`, or no complete answer within `timeoutSeconds`
  /// of the start, is an error.
  virtual std::unique_ptr<FeedRequest> fetch(const std::string& url, std::size_t maxBodyBytes, double timeoutSeconds,
                                             Completion done) = 0;
};

}  // namespace tilvane::updates
