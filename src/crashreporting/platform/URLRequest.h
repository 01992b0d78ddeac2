#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/Value.h"

// The stand-ins for the platform's URL request and response and its URL error domain.

namespace crashreporting {

/// Header fields in the order they were set: (name, value). Names compare without regard to case.
using HeaderFields = std::vector<std::pair<std::string, std::string>>;

/// The value of the first field named `name` (any letter case); none when there is no such field.
std::optional<std::string> headerFieldValue(const HeaderFields& fields, std::string_view name);

/// How a request may use cached replies. Nothing is cached on Linux; the value travels with the request.
enum class URLRequestCachePolicy : int { useProtocolCachePolicy = 0, reloadIgnoringLocalCacheData = 1 };

/// One HTTP request: address, method, header fields, a body in memory or from a file, and a time-out.
class URLRequest {
 public:
  URLRequest() = default;
  explicit URLRequest(std::string url, double timeoutInterval = 60.0)
      : url_(std::move(url)), timeoutInterval_(timeoutInterval) {}

  const std::string& URL() const { return url_; }
  void setURL(std::string url) { url_ = std::move(url); }
  const std::string& HTTPMethod() const { return method_; }
  void setHTTPMethod(std::string method) { method_ = std::move(method); }
  double timeoutInterval() const { return timeoutInterval_; }
  void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
  URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }

  const HeaderFields& allHTTPHeaderFields() const { return fields_; }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
  /// Sets the field, replacing every value it had.
  void setValue(std::string value, std::string_view field);
  /// Appends to the field's value, after a comma, or sets it when it has none.
  void addValue(std::string_view value, std::string_view field);

  const Data& HTTPBody() const { return body_; }
  void setHTTPBody(Data body) { body_ = std::move(body); }
  /// The body is read from this file when the request is sent; it takes the place of HTTPBody().
  const std::optional<std::filesystem::path>& HTTPBodyFile() const { return bodyFile_; }
  void setHTTPBodyFile(std::optional<std::filesystem::path> file) { bodyFile_ = std::move(file); }

  bool operator==(const URLRequest&) const = default;

 private:
  std::string url_;
  std::string method_ = "GET";
  double timeoutInterval_ = 60.0;
  URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::useProtocolCachePolicy;
  HeaderFields fields_;
  Data body_;
  std::optional<std::filesystem::path> bodyFile_;
};

/// A reply's head: the address it answers, the status (none for a reply that is not HTTP) and header fields.
struct URLResponse {
  std::string URL;
  std::optional<long> statusCode;
  HeaderFields allHeaderFields;

  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const {
    return headerFieldValue(allHeaderFields, field);
  }
};

/// The URL loading error domain and the codes the library meets.
inline constexpr const char* kURLErrorDomain = "NSURLErrorDomain";
/// The user-information key of the address a request failed for.
inline constexpr const char* kURLErrorFailingURLStringKey = "NSErrorFailingURLStringKey";

enum URLErrorCode : std::int64_t {
  URLErrorCancelled = -999,
  URLErrorBadURL = -1000,
  URLErrorTimedOut = -1001,
  URLErrorUnsupportedURL = -1002,
  URLErrorCannotFindHost = -1003,
  URLErrorCannotConnectToHost = -1004,
  URLErrorNetworkConnectionLost = -1005,
  URLErrorHTTPTooManyRedirects = -1007,
  URLErrorBadServerResponse = -1011,
  URLErrorAppTransportSecurityRequiresSecureConnection = -1022,
  URLErrorFileDoesNotExist = -1100,
  URLErrorNoPermissionsToReadFile = -1102,
  URLErrorDataLengthExceedsMaximum = -1103,
  URLErrorSecureConnectionFailed = -1200,
  URLErrorServerCertificateUntrusted = -1202,
};

/// An error of the URL domain for `url`, with a sentence.
Error makeURLError(std::int64_t code, const std::string& url, const std::string& description);

}  // namespace crashreporting
