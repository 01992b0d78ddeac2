#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

/// The error domain of the library's network errors.
inline constexpr const char* kZIZNetworkErrorDomain = "ZIZNetworkError";

/// How a reply is judged.
enum class ZIZNetworkClientResponseType : int {
  success = 0,      ///< 200, 201, 202, 204, 304
  failure = 1,      ///< no status, or any status not listed elsewhere: no retry
  clientError = 2,  ///< 400, 401, 403, 404, 406, 410, 411, 413, 419, 422, 431: no retry
  retry = 3,        ///< 408, 500 to 599
  rateLimited = 4,  ///< 420, 429
};

enum ZIZNetworkErrorCode : std::int64_t {
  ZIZNetworkErrorRetry = -1,            ///< a reply of class retry or rate-limited
  ZIZNetworkErrorNoTask = -3,           ///< the session made no task for the request
  ZIZNetworkErrorFailure = -4,          ///< a failure reply, or a success of the wrong content type
  ZIZNetworkErrorClientError = -5,      ///< a client-error reply
  ZIZNetworkErrorRetryLimit = -6,       ///< still failing once the retry limit was reached
};

/// The longest wait before a retry (one week): a larger Retry-After or back-off is cut to it.
inline constexpr double kZIZMaxRetryDelay = 7 * 24 * 3600.0;

/// Judges replies and transport errors: success, failure, or retry, with the library's network errors.
class ZIZNetworkResponseHandler {
 public:
  using TypeBlock = std::function<void(ZIZNetworkClientResponseType type, long status)>;
  using CompletionBlock = std::function<void(bool retry, const std::optional<Error>& error)>;

  static std::optional<std::string> headerForResponse(const std::optional<URLResponse>& response,
                                                      std::string_view key);
  /// The Retry-After seconds: 2.0 when absent, negative or not a number; 0 stays 0; never above
  /// kZIZMaxRetryDelay (so "inf" or a huge number is cut to it).
  static double retryValueForResponse(const std::optional<URLResponse>& response);
  static std::optional<std::string> requestIdForResponse(const std::optional<URLResponse>& response);
  /// Whether the reply's Content-Type suits the request's Accept (and Accept-Charset).
  static bool contentTypeForResponse(const std::optional<URLResponse>& response, const URLRequest& request);
  /// The background cancel reason of a cancelled URL error; -1 for anything else.
  static std::int64_t cancelReasonFromURLError(const Error& error);
  static bool retryableURLError(const Error& error);
  static Error errorForCode(std::int64_t code, Dictionary userInfo = {});
  /// The error of a reply of that class ("type", "status_code", "request_id", "content_type"); none for a
  /// success.
  static std::optional<Error> errorForResponse(const std::optional<URLResponse>& response,
                                               ZIZNetworkClientResponseType type, long status);
  static void clientResponseType(const std::optional<URLResponse>& response, const TypeBlock& handler);
  static ZIZNetworkClientResponseType responseTypeForStatus(long status);
  /// Judges a finished task: a transport error, else the reply's class.
  static void handleCompletedResponse(const std::optional<URLResponse>& response, const URLRequest& originalRequest,
                                      const std::optional<Error>& error, const CompletionBlock& block);
};

}  // namespace crashreporting
