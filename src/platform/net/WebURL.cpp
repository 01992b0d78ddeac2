#include "platform/net/WebURL.h"

#include <charconv>
#include <vector>

namespace tilvane::net {
namespace {

constexpr std::size_t kMaxLength = 8192;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lower(c);
  return out;
}

bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'f'); }

// A host name's characters (RFC 3986 reg-name): unreserved, sub-delims and whole percent escapes.
bool isRegName(std::string_view host) {
  for (std::size_t i = 0; i < host.size(); ++i) {
    const char c = host[i];
    if (c == '%') {
      if (i + 2 >= host.size() || !isHex(host[i + 1]) || !isHex(host[i + 2])) return false;
      i += 2;
    } else if (!isAlpha(c) && !isDigit(c) && std::string_view("-._~!$&'()*+,;=").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return !host.empty();
}

// "[...]": an IPv6 address (hex groups, colons, an IPv4 tail) with an optional "%25" zone.
bool isIPLiteral(std::string_view host) {
  if (host.size() < 4 || host.front() != '[' || host.back() != ']') return false;
  std::string_view inside = host.substr(1, host.size() - 2);
  if (const auto zone = inside.find("%25"); zone != std::string_view::npos) {
    if (zone + 3 == inside.size()) return false;
    inside = inside.substr(0, zone);
  }
  if (inside.find(':') == std::string_view::npos) return false;
  for (const char c : inside)
    if (!isHex(c) && c != ':' && c != '.') return false;
  return true;
}

/// The pieces of an address (RFC 3986), each without its delimiter; `has*` tell an empty part from an absent one.
struct Parts {
  std::string_view scheme, authority, path, query, fragment;
  bool hasScheme = false, hasAuthority = false, hasQuery = false, hasFragment = false;
};

Parts split(std::string_view text) {
  Parts parts;
  if (const auto hash = text.find('#'); hash != std::string_view::npos) {
    parts.fragment = text.substr(hash + 1);
    parts.hasFragment = true;
    text = text.substr(0, hash);
  }
  if (const auto mark = text.find('?'); mark != std::string_view::npos) {
    parts.query = text.substr(mark + 1);
    parts.hasQuery = true;
    text = text.substr(0, mark);
  }
  if (const auto colon = text.find(':'); colon != std::string_view::npos && colon > 0 && isAlpha(text[0])) {
    const std::string_view scheme = text.substr(0, colon);
    bool valid = true;
    for (const char c : scheme)
      if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') valid = false;
    if (valid && scheme.find('/') == std::string_view::npos) {
      parts.scheme = scheme;
      parts.hasScheme = true;
      text = text.substr(colon + 1);
    }
  }
  if (text.substr(0, 2) == "//") {
    text.remove_prefix(2);
    const auto slash = text.find('/');
    parts.authority = text.substr(0, slash);
    parts.hasAuthority = true;
    text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
  }
  parts.path = text;
  return parts;
}

struct Authority {
  std::string_view host;
  int port = -1;  // none written
};

/// The host and port of an authority ("user@host:port"); none when the host is empty or malformed or the port is
/// not a number up to 65535.
std::optional<Authority> parseAuthority(std::string_view authority) {
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  Authority parsed;
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    parsed.host = authority.substr(0, close + 1);
    const std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return std::nullopt;
    if (!rest.empty()) port = rest.substr(1);
    if (!isIPLiteral(parsed.host)) return std::nullopt;
  } else {
    const auto colon = authority.find(':');
    parsed.host = authority.substr(0, colon);
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    if (!isRegName(parsed.host)) return std::nullopt;
  }
  if (!port.empty()) {
    if (port.size() > 5) return std::nullopt;
    for (const char c : port)
      if (!isDigit(c)) return std::nullopt;
    std::from_chars(port.data(), port.data() + port.size(), parsed.port);
    if (parsed.port > 65535) return std::nullopt;
  }
  return parsed;
}

// RFC 3986 5.2.4: "." and ".." segments taken out of a path.
std::string removeDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  const bool absolute = !path.empty() && path.front() == '/';
  if (absolute) path.remove_prefix(1);
  bool trailingSlash = false;
  while (true) {
    const auto slash = path.find('/');
    const std::string_view segment = path.substr(0, slash);
    const bool last = slash == std::string_view::npos;
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      trailingSlash = true;
    } else if (segment == ".") {
      trailingSlash = true;
    } else {
      kept.push_back(segment);
      trailingSlash = false;
    }
    if (last) break;
    path.remove_prefix(slash + 1);
  }
  std::string out = absolute ? "/" : "";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) out += '/';
    out += kept[i];
  }
  if (trailingSlash && !out.empty() && out.back() != '/') out += '/';
  return out;
}

std::string compose(std::string_view scheme, std::string_view authority, std::string_view path, const Parts& tail) {
  std::string out = lowered(scheme) + "://" + std::string(authority) + (path.empty() ? "/" : std::string(path));
  if (tail.hasQuery) out += "?" + std::string(tail.query);
  if (tail.hasFragment) out += "#" + std::string(tail.fragment);
  return out;
}

}  // namespace

bool isWebURL(std::string_view text) {
  if (text.empty() || text.size() > kMaxLength) return false;
  for (const char c : text)
    if (c <= 0x20 || c >= 0x7f) return false;  // signed char: non-ASCII bytes are negative
  const Parts parts = split(text);
  const std::string scheme = lowered(parts.scheme);
  if (!parts.hasScheme || (scheme != "http" && scheme != "https") || !parts.hasAuthority) return false;
  // The host follows "//" at once: "https:///path" has none.
  if (parts.authority.empty() || parts.authority.front() == '@') return false;
  return parseAuthority(parts.authority).has_value();
}

std::optional<std::string> resolveWebURL(std::string_view base, std::string_view reference) {
  if (!isWebURL(base) || reference.empty() || reference.size() > kMaxLength) return std::nullopt;
  const Parts from = split(base);
  const Parts ref = split(reference);
  std::string resolved;
  if (ref.hasScheme) {
    if (!ref.hasAuthority) return std::nullopt;
    resolved = compose(ref.scheme, ref.authority, removeDotSegments(ref.path), ref);
  } else if (ref.hasAuthority) {
    resolved = compose(from.scheme, ref.authority, removeDotSegments(ref.path), ref);
  } else if (ref.path.empty()) {
    Parts tail = ref;
    if (!ref.hasQuery) {
      tail.query = from.query;
      tail.hasQuery = from.hasQuery;
    }
    resolved = compose(from.scheme, from.authority, from.path, tail);
  } else if (ref.path.front() == '/') {
    resolved = compose(from.scheme, from.authority, removeDotSegments(ref.path), ref);
  } else {
    // Merged with the base's path up to its last "/".
    const auto slash = from.path.rfind('/');
    const std::string merged =
        (slash == std::string_view::npos ? std::string("/") : std::string(from.path.substr(0, slash + 1))) +
        std::string(ref.path);
    resolved = compose(from.scheme, from.authority, removeDotSegments(merged), ref);
  }
  if (!isWebURL(resolved)) return std::nullopt;
  return resolved;
}

std::optional<std::string> webOrigin(std::string_view text) {
  if (!isWebURL(text)) return std::nullopt;
  const Parts parts = split(text);
  const auto authority = parseAuthority(parts.authority);
  if (!authority) return std::nullopt;
  const std::string scheme = lowered(parts.scheme);
  const int port = authority->port >= 0 ? authority->port : (scheme == "https" ? 443 : 80);
  return scheme + "://" + lowered(authority->host) + ":" + std::to_string(port);
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
