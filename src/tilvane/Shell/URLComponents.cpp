#include "Shell/URLComponents.h"

#include <algorithm>
#include <cctype>

namespace tilvane {

namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// Unreserved, reserved and '%': what RFC 3986 lets a URL hold.
bool isURLCharacter(char c) {
  if (std::isalnum(static_cast<unsigned char>(c))) return true;
  return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(c) != std::string_view::npos;
}

bool wellFormed(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!isURLCharacter(text[i])) return false;
    if (text[i] == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))) return false;
  }
  return std::count(text.begin(), text.end(), '#') <= 1;
}

// Escapes were checked by wellFormed().
std::string percentDecoded(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

// The scheme's length, or 0 when `text` does not start with one followed by ':'.
std::size_t schemeLength(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos || !std::isalpha(static_cast<unsigned char>(text[0]))) return 0;
  const bool valid = std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
  });
  return valid ? colon : 0;
}

// The host of "userinfo@host:port"; absent when the port is not a number.
std::optional<std::string> hostOf(std::string_view authority) {
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::size_t hostEnd = authority.size();
  if (authority.starts_with('[')) {
    hostEnd = authority.find(']');
    if (hostEnd == std::string_view::npos) return std::nullopt;
    ++hostEnd;
  } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    hostEnd = colon;
  }
  const std::string_view port = authority.substr(hostEnd);
  if (!port.empty() && (port[0] != ':' || !std::all_of(port.begin() + 1, port.end(), [](char c) {
                          return std::isdigit(static_cast<unsigned char>(c));
                        }))) {
    return std::nullopt;
  }
  return percentDecoded(authority.substr(0, hostEnd));
}

std::vector<URLQueryItem> itemsOf(std::string_view query) {
  std::vector<URLQueryItem> items;
  while (true) {
    const std::size_t amp = query.find('&');
    const std::string_view item = query.substr(0, amp);
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) {
      items.push_back({percentDecoded(item), std::nullopt});
    } else {
      items.push_back({percentDecoded(item.substr(0, eq)), percentDecoded(item.substr(eq + 1))});
    }
    if (amp == std::string_view::npos) return items;
    query.remove_prefix(amp + 1);
  }
}

}  // namespace

std::optional<URLComponents> URLComponents::parse(std::string_view text) {
  if (text.size() > maxLength || !wellFormed(text)) return std::nullopt;
  text = text.substr(0, text.find('#'));
  if (const std::size_t scheme = schemeLength(text); scheme > 0) text.remove_prefix(scheme + 1);

  URLComponents url;
  if (text.starts_with("//")) {
    text.remove_prefix(2);
    const std::size_t end = std::min(text.find('/'), text.find('?'));
    url.host = hostOf(text.substr(0, end));
    if (!url.host) return std::nullopt;
    text = end == std::string_view::npos ? std::string_view() : text.substr(end);
  }
  if (const std::size_t question = text.find('?'); question != std::string_view::npos) {
    const std::string_view query = text.substr(question + 1);
    url.queryItems = query.empty() ? std::vector<URLQueryItem>() : itemsOf(query);
  }
  return url;
}

}  // namespace tilvane
