#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tilvane::net {

/// Header fields in the order they were written: (name, value).
using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

/// The value of the first field named `name` (compared without regard to case).
std::optional<std::string> headerValue(const HttpHeaders& headers, std::string_view name);

/// One request. Every request has a time-out and a cap on the reply's body, since what a server sends is
/// untrusted: a server that never ends or sends too much costs at most `timeout` and `maxBodyBytes`.
struct HttpRequest {
  /// "GET", "POST", "HEAD", "PUT", ... (an HTTP token).
  std::string method = "GET";
  /// An absolute http or https address; anything else fails with HttpErrorCode::invalidRequest.
  std::string url;
  /// Fields sent besides curl's own (Host, Content-Length); a name or value holding CR or LF is refused.
  HttpHeaders headers;
  /// Sent as the body when not empty (and, for POST and PUT, even when empty).
  std::string body;
  /// When set, the body is read from this file while it is sent (never held in memory whole), in place of
  /// `body`; its length is the file's size when the request starts. A file that cannot be opened fails the
  /// request with HttpErrorCode::invalidRequest.
  std::string bodyFile;
  /// Seconds for the whole exchange: connecting, sending and the reply to its last byte.
  double timeout = 60.0;
  /// Seconds in which no byte goes either way before the exchange fails as timed out (curl's low-speed limit, in
  /// whole seconds; connecting counts too), so a slow but live peer may take up to `timeout` while a silent one
  /// costs only this. 0: none, `timeout` alone.
  double idleTimeout = 0;
  /// The reply's body may be at most this long; a longer one fails with HttpErrorCode::tooLarge.
  std::size_t maxBodyBytes = 1024 * 1024;
  /// Follows at most five redirects, to http or https addresses only.
  bool followRedirects = true;
  /// A PEM file of the certificate authorities to trust instead of the system's (a test authority, a
  /// service's own). Empty: the system's store. Certificates and host names are always verified.
  std::string caFile;
  /// The certificate authorities to trust, as PEM text held in memory (a program's own anchors). When set,
  /// these alone are trusted: neither `caFile` nor the system's store is read.
  std::string caCertificates;
  /// The server's public key must match one of these pins ("sha256//<base64>", several joined by ";").
  /// Empty: no pinning.
  std::string pinnedPublicKey;
};

/// Why a request failed before a complete HTTP reply arrived.
enum class HttpErrorCode {
  invalidRequest,   ///< not an http(s) address, or a bad method or header
  couldNotConnect,  ///< the name did not resolve or the server refused or could not be reached
  timedOut,         ///< the exchange did not end within the request's time-out
  tooLarge,         ///< the reply's body (or header) was over the cap
  tls,              ///< the certificate, its host name or the pin did not verify, or the handshake failed
  transport,        ///< the connection broke or the server sent no valid HTTP reply
  cancelled,        ///< the client went before the reply (never delivered to a completion)
};

struct HttpError {
  HttpErrorCode code;
  /// What went wrong, in a sentence.
  std::string message;

  /// "<code name>: <message>", for a log line.
  std::string description() const;
};

/// The outcome of a request: a complete reply (status, fields, body), or an error.
struct HttpResponse {
  /// The HTTP status of the last reply; 0 when none arrived.
  long status = 0;
  /// The last reply's header fields (a redirect's own are dropped).
  HttpHeaders headers;
  /// The body, complete, when there is no error.
  std::string body;
  std::optional<HttpError> error;

  bool succeeded() const { return !error; }
  std::optional<std::string> header(std::string_view name) const { return headerValue(headers, name); }
  /// The error's description, or "" when the request succeeded.
  std::string errorText() const { return error ? error->description() : std::string(); }

  /// A response carrying only the error.
  static HttpResponse failure(HttpErrorCode code, std::string message) {
    HttpResponse response;
    response.error = HttpError{code, std::move(message)};
    return response;
  }
};

}  // namespace tilvane::net
