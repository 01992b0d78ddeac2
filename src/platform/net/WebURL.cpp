#include "platform/net/WebURL.h"

#include <curl/curl.h>

#include <memory>

namespace tilvane::net {
namespace {

constexpr std::size_t kMaxLength = 8192;

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlTextDeleter {
  void operator()(char* text) const { curl_free(text); }
};

std::optional<std::string> part(CURLU* url, CURLUPart which, unsigned flags) {
  char* text = nullptr;
  if (curl_url_get(url, which, &text, flags) != CURLUE_OK || text == nullptr) return std::nullopt;
  const std::unique_ptr<char, CurlTextDeleter> owned(text);
  return std::string(text);
}

}  // namespace

bool isWebURL(std::string_view text) {
  if (text.empty() || text.size() > kMaxLength) return false;
  for (const char c : text)
    if (c <= 0x20 || c >= 0x7f) return false;  // signed char: non-ASCII bytes are negative
  if (!startsWithIgnoringCase(text, "http://") && !startsWithIgnoringCase(text, "https://")) return false;
  // The host follows "//" at once; curl would take "https:///path" as the host "path".
  const std::size_t authority = text.find("//") + 2;
  if (authority >= text.size() || std::string_view("/?#@").find(text[authority]) != std::string_view::npos)
    return false;
  const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url) return false;
  const std::string copy(text);
  if (curl_url_set(url.get(), CURLUPART_URL, copy.c_str(), 0) != CURLUE_OK) return false;
  char* host = nullptr;
  if (curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) return false;
  const std::unique_ptr<char, CurlTextDeleter> owned(host);
  return host && host[0] != '\0';
}

std::optional<std::string> resolveWebURL(std::string_view base, std::string_view reference) {
  if (!isWebURL(base) || reference.empty() || reference.size() > kMaxLength) return std::nullopt;
  const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url) return std::nullopt;
  // Setting a relative reference over a whole address resolves it against that address.
  if (curl_url_set(url.get(), CURLUPART_URL, std::string(base).c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_URL, std::string(reference).c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    return std::nullopt;
  auto resolved = part(url.get(), CURLUPART_URL, 0);
  if (!resolved || !isWebURL(*resolved)) return std::nullopt;
  return resolved;
}

std::optional<std::string> webOrigin(std::string_view text) {
  if (!isWebURL(text)) return std::nullopt;
  const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, std::string(text).c_str(), 0) != CURLUE_OK) return std::nullopt;
  auto scheme = part(url.get(), CURLUPART_SCHEME, 0);
  auto host = part(url.get(), CURLUPART_HOST, 0);
  const auto port = part(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  if (!scheme || !host || !port) return std::nullopt;
  for (std::string* piece : {&*scheme, &*host})
    for (char& c : *piece)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return *scheme + "://" + *host + ":" + *port;
}

std::string percentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
    if (unreserved) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

}  // namespace tilvane::net
