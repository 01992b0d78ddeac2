#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "crashreporting/platform/OutputStream.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

/// The settings of a VRDURLSession. The additional header fields, the resource time-out and the download sink
/// take effect; the other values are kept for callers that set them. Linux has no background transfer service, so there are no background
/// configurations: asking for one gives none, and callers use the default configuration.
struct VRDURLSessionConfiguration {
  /// Makes the stream a download task writes its file through.
  using DownloadStreamFactory = std::function<std::unique_ptr<OutputStream>(const std::filesystem::path& file)>;

  static std::optional<VRDURLSessionConfiguration> defaultSessionConfiguration();
  static std::optional<VRDURLSessionConfiguration> ephemeralSessionConfiguration();
  /// None: background sessions do not exist here.
  static std::optional<VRDURLSessionConfiguration> backgroundSessionConfigurationWithIdentifier(
      std::string_view identifier);
  static std::optional<VRDURLSessionConfiguration> backgroundSessionConfiguration(std::string_view identifier);

  /// Added to every request of the session; a value is appended to a field the request already has.
  HeaderFields HTTPAdditionalHeaders;
  std::uint64_t HTTPCookieAcceptPolicy = 0;
  bool allowsCellularAccess = true;
  /// The idle time-out of a request that names none (every URLRequest names one, so it is only kept).
  double timeoutIntervalForRequest = 60.0;
  /// The longest a task may take as a whole, however busy its transfer.
  double timeoutIntervalForResource = 604800.0;
  bool sessionSendsLaunchEvents() const { return false; }
  void setSessionSendsLaunchEvents(bool) {}

  /// Where download tasks put their files (the temporary folder when empty), and the stream they write
  /// through (a file stream when unset).
  std::filesystem::path downloadDirectory;
  DownloadStreamFactory downloadStreamFactory;

  /// What a session keeps of a configuration: the header fields, the time-outs and the download sink.
  VRDURLSessionConfiguration copy() const;
};

}  // namespace crashreporting
