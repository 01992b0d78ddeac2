#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/URLRequest.h"

namespace tilvane::net {
class HttpClient;
}

namespace crashreporting {

/// What one connection reports: the response, then its data, then that it finished — or, at any point, a
/// failure (after the response when one had arrived). Called on a thread of the global concurrent queue,
/// one call at a time per connection.
class URLConnectionDelegate {
 public:
  virtual ~URLConnectionDelegate() = default;
  virtual void connectionDidReceiveResponse(const URLResponse& response) = 0;
  virtual void connectionDidReceiveData(const Data& data) = 0;
  virtual void connectionDidFailWithError(const Error& error) = 0;
  virtual void connectionDidFinishLoading() = 0;
};

/// Sends requests over HTTP(S) for the library's URL sessions: the stand-in for the platform's URL connection,
/// on the program's HTTP client. Certificates and host names are always verified, against the system's store
/// or against anchors given per request (then those alone). A reply's body is held in memory, up to
/// kMaxBodyBytes.
///
/// Redirects are followed here, one hop at a time (at most kMaxRedirects), never from https to http
/// (URLErrorAppTransportSecurityRequiresSecureConnection). A hop to another origin than the request's carries
/// only the plain fields that name no one (User-Agent, Accept…, Content-Language, and the body's own type and
/// length when the body goes along): keys, tokens and identifiers stay with the origin they were made for.
/// 301 and 302 after a POST, and 303, go on as a GET without the body; 307 and 308 keep the method and body.
class URLLoader {
 public:
  using ConnectionId = std::uint64_t;
  /// The longest body a reply may have; a longer one fails with URLErrorDataLengthExceedsMaximum.
  static constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;
  static constexpr int kMaxRedirects = 5;

  URLLoader();
  /// Stops every connection; none of them reports anything afterwards.
  ~URLLoader();
  URLLoader(const URLLoader&) = delete;
  URLLoader& operator=(const URLLoader&) = delete;

  /// Starts `request` (its body file is streamed from disk while sent). `anchorCertificates` (PEM): the only
  /// authorities trusted for https; none: the system's store. The request's time-out is an idle one: the
  /// exchange fails when no byte moves for that long; `resourceTimeout` bounds the whole exchange, redirects
  /// included. The delegate is held weakly: once it is gone, nothing is reported.
  ConnectionId start(const URLRequest& request, const std::optional<std::string>& anchorCertificates,
                     std::weak_ptr<URLConnectionDelegate> delegate, double resourceTimeout);
  /// Stops the connection; it reports nothing more. Unknown or finished ids are ignored.
  void cancel(ConnectionId id);

 private:
  struct Shared;
  struct Hop;
  static void send(const std::shared_ptr<Shared>& shared, std::shared_ptr<Hop> hop);
  std::shared_ptr<Shared> shared_;
};

}  // namespace crashreporting
