#include "platform/net/HttpMessage.h"

#include <algorithm>

namespace tilvane::net {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

const char* codeName(HttpErrorCode code) {
  switch (code) {
    case HttpErrorCode::invalidRequest: return "invalid request";
    case HttpErrorCode::couldNotConnect: return "could not connect";
    case HttpErrorCode::timedOut: return "timed out";
    case HttpErrorCode::tooLarge: return "too large";
    case HttpErrorCode::tls: return "TLS";
    case HttpErrorCode::transport: return "transport";
    case HttpErrorCode::cancelled: return "cancelled";
  }
  return "unknown";
}

}  // namespace

std::optional<std::string> headerValue(const HttpHeaders& headers, std::string_view name) {
  for (const auto& [field, value] : headers)
    if (equalsIgnoringCase(field, name)) return value;
  return std::nullopt;
}

std::string HttpError::description() const { return std::string(codeName(code)) + ": " + message; }

}  // namespace tilvane::net
