#include "crashreporting/Kit/ZIZNetworkResponseHandler.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace crashreporting {
namespace {

constexpr double kDefaultRetryValue = 2.0;

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::string> ZIZNetworkResponseHandler::headerForResponse(const std::optional<URLResponse>& response,
                                                                        std::string_view key) {
  if (!response || !response->statusCode) return std::nullopt;
  return response->valueForHTTPHeaderField(key);
}

double ZIZNetworkResponseHandler::retryValueForResponse(const std::optional<URLResponse>& response) {
  const auto header = headerForResponse(response, "Retry-After");
  if (!header) return kDefaultRetryValue;
  const std::string text(trimmed(*header));
  if (text.empty()) return kDefaultRetryValue;
  char* end = nullptr;
  errno = 0;
  const double seconds = std::strtod(text.c_str(), &end);
  // A date, a word or "nan" names no number of seconds: as if absent.
  if (end == text.c_str() || std::isnan(seconds)) return kDefaultRetryValue;
  if (seconds < 0) return kDefaultRetryValue;
  return std::min(seconds, kZIZMaxRetryDelay);  // "inf" and overflowing numbers too
}

std::optional<std::string> ZIZNetworkResponseHandler::requestIdForResponse(const std::optional<URLResponse>& response) {
  return headerForResponse(response, "X-Request-Id");
}

bool ZIZNetworkResponseHandler::contentTypeForResponse(const std::optional<URLResponse>& response,
                                                       const URLRequest& request) {
  const auto accept = request.valueForHTTPHeaderField("Accept");
  if (!accept) return true;
  const auto contentType = headerForResponse(response, "Content-Type");
  if (!contentType) return false;
  static constexpr std::string_view kSeparator = "; charset=";
  const auto split = contentType->find(kSeparator);
  const std::string_view mediaType = std::string_view(*contentType).substr(0, split);
  if (!equalIgnoringCase(mediaType, *accept)) return false;
  const auto charset = request.valueForHTTPHeaderField("Accept-Charset");
  if (!charset || split == std::string::npos) return true;
  std::string_view named = std::string_view(*contentType).substr(split + kSeparator.size());
  named = named.substr(0, named.find(kSeparator));  // the second piece of the split
  return equalIgnoringCase(named, *charset);
}

std::int64_t ZIZNetworkResponseHandler::cancelReasonFromURLError(const Error& error) {
  if (error.domain != kURLErrorDomain || error.code != URLErrorCancelled) return -1;
  const auto it = error.userInfo.find("NSURLErrorBackgroundTaskCancelledReasonKey");
  const auto* reason = it == error.userInfo.end() ? nullptr : it->second.get<std::int64_t>();
  return reason ? *reason : -1;
}

bool ZIZNetworkResponseHandler::retryableURLError(const Error& error) {
  if (error.domain != kURLErrorDomain) return false;
  const std::int64_t code = error.code;
  if (code >= -1206 && code <= -1200) return false;
  switch (code) {
    case -1022:
    case -1013:
    case -1012:
    case -1010:
    case -1007:
    case -1002:
    case -1000:
    case -995:
    case -1103:
    case -1101:
    case -1100:
      return false;
    default:
      return true;
  }
}

Error ZIZNetworkResponseHandler::errorForCode(std::int64_t code, Dictionary userInfo) {
  return Error{kZIZNetworkErrorDomain, code, std::move(userInfo), {}};
}

std::optional<Error> ZIZNetworkResponseHandler::errorForResponse(const std::optional<URLResponse>& response,
                                                                 ZIZNetworkClientResponseType type, long status) {
  std::int64_t code = 0;
  switch (type) {
    case ZIZNetworkClientResponseType::success:
      return std::nullopt;
    case ZIZNetworkClientResponseType::failure:
      code = ZIZNetworkErrorFailure;
      break;
    case ZIZNetworkClientResponseType::clientError:
      code = ZIZNetworkErrorClientError;
      break;
    case ZIZNetworkClientResponseType::retry:
    case ZIZNetworkClientResponseType::rateLimited:
      code = ZIZNetworkErrorRetry;
      break;
  }
  Dictionary info;
  info.emplace("type", Value(static_cast<int>(type)));
  info.emplace("status_code", Value(status));
  info.emplace("request_id", Value(requestIdForResponse(response).value_or("")));
  info.emplace("content_type", Value(headerForResponse(response, "Content-Type").value_or("")));
  return errorForCode(code, std::move(info));
}

ZIZNetworkClientResponseType ZIZNetworkResponseHandler::responseTypeForStatus(long status) {
  switch (status) {
    case 200:
    case 201:
    case 202:
    case 204:
    case 304:
      return ZIZNetworkClientResponseType::success;
    case 400:
    case 401:
    case 403:
    case 404:
    case 406:
    case 410:
    case 411:
    case 413:
    case 419:
    case 422:
    case 431:
      return ZIZNetworkClientResponseType::clientError;
    case 408:
      return ZIZNetworkClientResponseType::retry;
    case 420:
    case 429:
      return ZIZNetworkClientResponseType::rateLimited;
    default:
      return status >= 500 && status <= 599 ? ZIZNetworkClientResponseType::retry
                                            : ZIZNetworkClientResponseType::failure;
  }
}

void ZIZNetworkResponseHandler::clientResponseType(const std::optional<URLResponse>& response,
                                                   const TypeBlock& handler) {
  if (!response || !response->statusCode) {
    handler(ZIZNetworkClientResponseType::failure, 0);
    return;
  }
  const long status = *response->statusCode;
  handler(responseTypeForStatus(status), status);
}

void ZIZNetworkResponseHandler::handleCompletedResponse(const std::optional<URLResponse>& response,
                                                        const URLRequest& originalRequest,
                                                        const std::optional<Error>& error,
                                                        const CompletionBlock& block) {
  if (error) {
    block(retryableURLError(*error), error);
    return;
  }
  clientResponseType(response, [&](ZIZNetworkClientResponseType type, long status) {
    switch (type) {
      case ZIZNetworkClientResponseType::success:
        if (contentTypeForResponse(response, originalRequest)) {
          block(false, std::nullopt);
        } else {
          block(false, errorForResponse(response, ZIZNetworkClientResponseType::failure, status));
        }
        return;
      case ZIZNetworkClientResponseType::failure:
      case ZIZNetworkClientResponseType::clientError:
        block(false, errorForResponse(response, type, status));
        return;
      case ZIZNetworkClientResponseType::retry:
      case ZIZNetworkClientResponseType::rateLimited:
        block(true, errorForResponse(response, type, status));
        return;
    }
  });
}

}  // namespace crashreporting
