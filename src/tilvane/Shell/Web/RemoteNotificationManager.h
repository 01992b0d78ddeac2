#pragma once

#include <optional>
#include <string>

#include "Shell/ShellServices.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/net/HttpClient.h"

namespace tilvane {

/// Asks the announcement feed, once per trusted launch, whether there is a message for the users. A message
/// not shown before on this account goes out as (title, url) on AppBridge.remoteNotification, and "read" is
/// stored under "remoteNotification-" + its id so it is never shown again. Failures are logged as warnings and
/// not retried. Main thread only; the exchange itself runs on the client's worker.
class RemoteNotificationManager final : public AnnouncementRequester {
 public:
  struct Options {
    /// The whole exchange may take this long (the platform's default time-out).
    double timeout = 60.0;
    /// The feed is a small object; a longer reply is refused.
    std::size_t maxBodyBytes = 64 * 1024;
  };

  /// `client` must outlive the manager; `feedURL` is the endpoint without the query.
  RemoteNotificationManager(net::HttpClient& client, std::string feedURL, Options options);
  RemoteNotificationManager(net::HttpClient& client, std::string feedURL)
      : RemoteNotificationManager(client, std::move(feedURL), Options{}) {}
  /// A request still running is cancelled; its reply is not handled.
  ~RemoteNotificationManager() override;

  /// One request, `seconds` from now on the main loop's clock.
  void requestAfter(double seconds) override;
  /// Builds the address (the feed, "?" and the current time) and starts the request; returns at once.
  void request();
  /// The request's completion: the body when a reply arrived, its status when it was HTTP, the transport
  /// error when there was one.
  void handleResponse(const std::optional<std::string>& data, std::optional<long> status,
                      const std::optional<std::string>& error);

  /// The cache breaker: seconds since 1970 in plain decimal, at most 15 significant digits, always with a
  /// fractional part ("1709640000.0", "1709640000.12345").
  static std::string timeQuery(double seconds);

 private:
  net::HttpClient& client_;
  std::string feedURL_;
  Options options_;
  dispatch::ScopedTimer timer_;
  net::HttpClient::RequestId pending_ = 0;
};

}  // namespace tilvane
