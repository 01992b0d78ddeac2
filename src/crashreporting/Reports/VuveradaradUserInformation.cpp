// The crash kit's user information and custom keys: each goes into the current report's key/value files.
#include <charconv>
#include <system_error>

#include "crashreporting/Capture/VRDUserLogging.h"
#include "crashreporting/Reports/VRDReport.h"
#include "crashreporting/Reports/Vuveradarad.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

void recordInternal(const char* key, const std::optional<std::string>& text) {
  const std::optional<Value> value = text ? std::optional<Value>(Value(*text)) : std::nullopt;
  VRDUserLoggingRecordInternalKeyValue(key, value ? &*value : nullptr);
}

}  // namespace

void Vuveradarad::setUserIdentifier(const std::optional<std::string>& identifier) {
  recordInternal(VRDInternalKeyUserIdentifier, identifier);
}

void Vuveradarad::setUserName(const std::optional<std::string>& name) {
  recordInternal(VRDInternalKeyUserName, name);
}

void Vuveradarad::setUserEmail(const std::optional<std::string>& email) {
  recordInternal(VRDInternalKeyUserEmail, email);
}

void Vuveradarad::setObjectValue(const std::optional<Value>& value, const std::string& key) {
  VRDUserLoggingRecordUserKeyValue(key.c_str(), value ? &*value : nullptr);
}

void Vuveradarad::setIntValue(std::int32_t value, const std::string& key) { setObjectValue(Value(value), key); }

void Vuveradarad::setBoolValue(bool value, const std::string& key) { setObjectValue(Value(value), key); }

void Vuveradarad::setFloatValue(float value, const std::string& key) {
  // Widening 0.1f gives 0.100000001490116…: go through the float's shortest text so the key shows what was set.
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  double shown = static_cast<double>(value);
  if (written.ec == std::errc()) std::from_chars(text, written.ptr, shown);
  setObjectValue(Value(shown), key);
}

void Vuveradarad::setDevelopmentPlatformName(const std::optional<std::string>& name) {
  recordInternal(VRDInternalKeyDevelopmentPlatformName, name);
}

void Vuveradarad::setDevelopmentPlatformVersion(const std::optional<std::string>& version) {
  recordInternal(VRDInternalKeyDevelopmentPlatformVersion, version);
}

std::optional<std::string> Vuveradarad::developmentPlatformName() {
  SystemLog::write("[Vuveradarad] developmentPlatformName is write-only");
  return std::nullopt;
}

std::optional<std::string> Vuveradarad::developmentPlatformVersion() {
  SystemLog::write("[Vuveradarad] developmentPlatformVersion is write-only");
  return std::nullopt;
}

}  // namespace crashreporting
