#pragma once

#include <optional>
#include <string>

#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// URL error code of a reply that cannot be read.
inline constexpr std::int64_t URLErrorCannotParseResponse = -1017;

/// A newer test build, as the beta service describes it.
class VRDBetaUpdate {
 public:
  /// An update from {"url": text that is a URL, "version_string": text}; none when `url` is missing or not a URL.
  static std::optional<VRDBetaUpdate> initWithDictionary(const Value& dictionary);
  /// The same, or none with NSURLErrorDomain −1017 in `error`.
  static std::optional<VRDBetaUpdate> betaUpdateWithDictionary(const Value& dictionary, std::optional<Error>& error);

  const std::string& url() const { return url_; }
  const std::optional<std::string>& version() const { return version_; }

  // The texts a prompt for the update would show, from the host's "Vuveradarad" strings table.
  std::string promptTitle() const;
  std::string promptMessage() const;
  std::string cancelLabel() const;
  std::string installLabel() const;

 private:
  std::string url_;
  std::optional<std::string> version_;
};

/// Whether `text` reads as a URL: not empty, and no white space, control or other character a URL cannot hold.
bool VRDIsURLText(const std::string& text);

}  // namespace crashreporting
