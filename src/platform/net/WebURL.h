#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tilvane::net {

/// Whether `text` is an absolute http or https address with a host: printable ASCII only (no spaces or
/// controls), at most 8 KB, "http://" or "https://" in any case, with a well-formed host and port (RFC 3986). Anything
/// else (a relative path, "file:", "javascript:", a bare word) is not.
bool isWebURL(std::string_view text);

/// `text` with every byte but the unreserved ones (A-Z a-z 0-9 - . _ ~) written as %XX, so it can stand in
/// a query or a path segment as it is.
std::string percentEncode(std::string_view text);

/// `reference` (a Location field: absolute, scheme-relative, absolute-path or relative) read against `base`, as an
/// absolute web address; none when the outcome is not one (isWebURL).
std::optional<std::string> resolveWebURL(std::string_view base, std::string_view reference);

/// "<scheme>://<host>:<port>" of a web address, lower case and with the scheme's port when none is written, so
/// two addresses of one origin give the same text; none for anything that is not a web address.
std::optional<std::string> webOrigin(std::string_view url);

}  // namespace tilvane::net
