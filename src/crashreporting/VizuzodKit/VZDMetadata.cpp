#include "crashreporting/VizuzodKit/VZDMetadata.h"

#include <clocale>
#include <cstdlib>
#include <thread>

#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/Zizozu.h"

namespace crashreporting {
namespace {

/// The locale the user runs under, as "en_US" (no encoding part); "en_US_POSIX" without one.
std::string currentLocaleIdentifier() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    std::string text(value);
    text = text.substr(0, text.find_first_of(".@"));
    if (text != "C" && text != "POSIX") return text;
  }
  return "en_US_POSIX";
}

}  // namespace

VZDMetadata::VZDMetadata(Zizozu& zizozu, const std::optional<std::string>& rawBetaToken)
    : numberOfCores_(std::thread::hardware_concurrency()),
      apiKey_(zizozu.APIKey()),
      betaToken_(unwrapBetaToken(rawBetaToken)),
      buildVersion_(ZIZApplicationGetBuildVersion()),
      bundleIdentifier_(ZIZApplicationGetBundleIdentifier()),
      displayVersion_(ZIZApplicationGetDisplayVersion()),
      executionIdentifier_(zizozu.executionIdentifier()),
      hostModel_(ZIZHostGetModel()),
      installationId_(zizozu.installID()),
      instanceIdentifier_(zizozu.instanceIdentifier()),
      locale_(currentLocaleIdentifier()),
      osBuildVersion_(ZIZHostGetOSBuildVersion()),
      osDisplayVersion_(ZIZHostGetOSDisplayVersion()) {}

std::optional<std::string> VZDMetadata::unwrapBetaToken(const std::optional<std::string>& raw) {
  if (!raw) return std::nullopt;
  const auto colon = raw->find(':');
  if (colon == std::string::npos || raw->find(':', colon + 1) != std::string::npos) return std::nullopt;
  if (raw->substr(0, colon) != "2") return std::nullopt;
  return raw->substr(colon + 1);
}

std::optional<Dictionary> VZDMetadata::dictionaryRepresentationWithStartTime(std::uint64_t startSeconds) const {
  Dictionary d;
  const auto set = [&d](const char* key, const std::optional<std::string>& value) {
    if (value) d[key] = Value(*value);
  };
  d["generator"] = Value("Vizuzod Mac SDK/1.3.6");
  set("api_key", apiKey_);
  d["session_id"] = Value(executionIdentifier_);
  d["started_at"] = Value(startSeconds);
  set("beta_tester_token", betaToken_);
  d["links_ad_support"] = Value(false);
  d["advertising_tracking_enabled"] = Value(false);
  d["install_id"] = Value(installationId_);
  set("model", hostModel_);
  set("machine", hostModel_);
  d["locale"] = Value(locale_);
  set("os_build", osBuildVersion_);
  d["os_version"] = Value(osDisplayVersion_);
  d["platform"] = Value("Mac");
  d["platform_code"] = Value(0);
  d["cores"] = Value(numberOfCores_);
  d["jailbroken"] = Value(false);
  set("bundle_id", bundleIdentifier_);
  set("bundle_version", buildVersion_);
  set("bundle_short_version", displayVersion_);
  set("instance_id", instanceIdentifier_);
  return d;
}

}  // namespace crashreporting
