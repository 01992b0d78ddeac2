#include "crashreporting/Kit/VRDURLSessionConfiguration.h"

namespace crashreporting {

std::optional<VRDURLSessionConfiguration> VRDURLSessionConfiguration::defaultSessionConfiguration() {
  return VRDURLSessionConfiguration{};
}

std::optional<VRDURLSessionConfiguration> VRDURLSessionConfiguration::ephemeralSessionConfiguration() {
  return VRDURLSessionConfiguration{};
}

std::optional<VRDURLSessionConfiguration> VRDURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
    std::string_view) {
  return std::nullopt;
}

std::optional<VRDURLSessionConfiguration> VRDURLSessionConfiguration::backgroundSessionConfiguration(
    std::string_view identifier) {
  return backgroundSessionConfigurationWithIdentifier(identifier);
}

VRDURLSessionConfiguration VRDURLSessionConfiguration::copy() const {
  VRDURLSessionConfiguration kept;
  kept.HTTPAdditionalHeaders = HTTPAdditionalHeaders;
  kept.timeoutIntervalForRequest = timeoutIntervalForRequest;
  kept.timeoutIntervalForResource = timeoutIntervalForResource;
  kept.downloadDirectory = downloadDirectory;
  kept.downloadStreamFactory = downloadStreamFactory;
  return kept;
}

}  // namespace crashreporting
