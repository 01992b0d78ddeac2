#pragma once

#include <memory>
#include <optional>
#include <string>

#include "crashreporting/Kit/ZIZAsyncOperation.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

/// The library's fixed developer token, sent with every request.
inline constexpr const char* kZIZDeveloperToken = "5c500838db4cfc278621d0cfdaad1d3bcc6b8c76";

/// Who a request to the vendor's services speaks for: the framework itself or one of its kits.
struct ZIZClientIdentity {
  std::string userAgent;
  /// An Accept field, sent right after User-Agent when present.
  std::optional<std::string> accept;
  std::string developerToken;
  std::string clientId;
  std::string displayVersion;
  std::string buildVersion;
};

/// A request that ignores cached data, with the common header fields in their fixed order (User-Agent through
/// X-Vuveradarad-API-Key). The method stays GET.
URLRequest ZIZRequestWithCommonHeaders(const std::string& url, double timeout, const ZIZClientIdentity& client,
                                       const std::string& APIKey);

/// The base of the operations that talk to the vendor's services: it shapes their requests with the common
/// header fields and the operation's API key.
class ZIZNetworkOperation : public ZIZAsyncOperation {
 public:
  explicit ZIZNetworkOperation(std::string APIKey) : APIKey_(std::move(APIKey)) {}

  const std::string& APIKey() const { return APIKey_; }
  std::string className() const override { return "ZIZNetworkOperation"; }

  /// The common request with a 10.0 s time-out; subclasses add their own fields.
  virtual URLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const std::string& url) const;
  /// A request that ignores cached data, with the common header fields in their order.
  URLRequest mutableRequestWithDefaultHTTPHeadersForURL(const std::string& url, double timeout) const;
  /// "<framework identifier>/<display version> (<build version>)".
  static std::string userAgentString();
  /// The user's locale as "language_REGION" ("en_US"), from LC_ALL, LC_MESSAGES or LANG; "en_US_POSIX" for
  /// the C locale.
  static std::string localeIdentifier();

 private:
  std::string APIKey_;
};

}  // namespace crashreporting
