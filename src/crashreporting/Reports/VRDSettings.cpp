#include "crashreporting/Reports/VRDSettings.h"

#include <cctype>
#include <cstdlib>

#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Immortal.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/PropertyList.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {

namespace {

// Left to us: secure base URLs without a path.
constexpr std::size_t kMaxStringsBytes = 1024 * 1024;
constexpr const char* kReportsEndpoint = "https://reports.zizozu.com";
constexpr const char* kBetaEndpoint = "https://api.zizozu.com";

}  // namespace

std::uint32_t VRDUnsignedIntValue(const Value& value) {
  if (const auto* whole = value.get<std::int64_t>()) return static_cast<std::uint32_t>(*whole);
  if (const auto* real = value.get<double>()) {
    return *real > 0 ? static_cast<std::uint32_t>(static_cast<std::uint64_t>(*real)) : 0u;
  }
  if (const auto* truth = value.get<bool>()) return *truth ? 1u : 0u;
  if (const auto* text = value.get<std::string>()) {
    return static_cast<std::uint32_t>(std::strtoll(text->c_str(), nullptr, 10));
  }
  return 0;
}

const Value* VRDSettings::value(std::string_view section, std::string_view key) const {
  const auto found = settingsDictionary_.find(section);
  return found == settingsDictionary_.end() ? nullptr : found->second.member(key);
}

bool VRDSettings::boolSetting(std::string_view section, std::string_view key, bool fallback) const {
  const Value* found = value(section, key);
  return found == nullptr || found->isNull() ? fallback : VRDBoolValue(*found);
}

std::uint32_t VRDSettings::unsignedSetting(std::string_view section, std::string_view key,
                                           std::uint32_t fallback) const {
  const Value* found = value(section, key);
  return found == nullptr || found->isNull() ? fallback : VRDUnsignedIntValue(*found);
}

bool VRDSettings::crashReportingEnabled() const { return boolSetting("features", "collect_reports", true); }
bool VRDSettings::errorReportingEnabled() const {
  return boolSetting("features", "collect_logged_exceptions", true);
}
bool VRDSettings::userPromptEnabled() const { return boolSetting("features", "prompt_enabled", false); }
std::uint32_t VRDSettings::logBufferSize() const { return unsignedSetting("session", "log_buffer_size", 65536); }
std::uint32_t VRDSettings::maxCustomExceptions() const {
  return unsignedSetting("session", "max_custom_exception_events", 16);
}
std::uint32_t VRDSettings::maxCustomKeys() const {
  return unsignedSetting("session", "max_custom_key_value_pairs", 16);
}
double VRDSettings::betaSuspendDuration() const {
  const Value* found = value("beta", "update_suspend_duration");
  if (found == nullptr) return 3600;
  if (const auto* real = found->get<double>()) return *real;
  return VRDUnsignedIntValue(*found);
}

std::optional<Dictionary> VRDSettings::configuration() {
  const auto bundle = MainBundle::get();
  if (!bundle) return std::nullopt;
  const Value* entry = bundle->objectForInfoDictionaryKey("Vuveradarad");
  if (entry == nullptr || entry->get<Dictionary>() == nullptr) return std::nullopt;
  return *entry->get<Dictionary>();
}

const Dictionary& VRDSettings::defaultConfiguration() {
  // The controller's work queue may still read it while the process exits.
  static const Immortal<Dictionary> defaults([] {
    return Dictionary{{"ReportsEndpoint", Value(kReportsEndpoint)},
                      {"BetaEndpoint", Value(kBetaEndpoint)},
                      {"PackageReports", Value(true)},
                      {"SubmitReports", Value(true)},
                      {"UrgentReports", Value(true)}};
  });
  return defaults.get();
}

std::optional<Value> VRDSettings::valueForConfigurationKey(std::string_view key) {
  const std::string name = "Vuveradarad" + std::string(key);
  if (const char* text = std::getenv(name.c_str())) {
    SystemLog::write("[Vuveradarad:Crash] override: '" + std::string(key) + "' => '" + text + "'");
    return Value(text);
  }
  if (const auto configured = configuration()) {
    if (const auto found = configured->find(key); found != configured->end()) return found->second;
  }
  if (const auto found = defaultConfiguration().find(key); found != defaultConfiguration().end()) {
    return found->second;
  }
  return std::nullopt;
}

namespace {

std::string configurationText(std::string_view key) {
  const auto value = VRDSettings::valueForConfigurationKey(key);
  if (value && value->get<std::string>()) return *value->get<std::string>();
  return VRDSettings::defaultConfiguration().find(key)->second.get<std::string>()[0];
}

bool configurationBool(std::string_view key) {
  const auto value = VRDSettings::valueForConfigurationKey(key);
  return value && VRDBoolValue(*value);
}

}  // namespace

std::string VRDSettings::reportsEndpoint() const { return configurationText("ReportsEndpoint"); }
std::string VRDSettings::betaEndpoint() const { return configurationText("BetaEndpoint"); }
bool VRDSettings::shouldPackageReports() const { return configurationBool("PackageReports"); }
bool VRDSettings::shouldSubmitReports() const { return configurationBool("SubmitReports"); }
bool VRDSettings::canProcessUrgentReports() const { return configurationBool("UrgentReports"); }

std::string VRDSettings::promptValueForSettingsKey(std::string_view settingsKey, std::string_view localizedKey,
                                                   std::string_view defaultValue) const {
  std::string fallback(defaultValue);
  if (const Value* downloaded = value("prompt", settingsKey); downloaded && downloaded->get<std::string>()) {
    fallback = *downloaded->get<std::string>();
  }
  return VRDLocalizedString(localizedKey, "Vuveradarad", fallback);
}

std::string VRDSettings::interactivePromptTitle() const {
  return promptValueForSettingsKey("title", "VuveradaradCrashSubmissionPromptTitle", "Send Crash Report?");
}
std::string VRDSettings::interactivePromptMessage() const {
  return promptValueForSettingsKey(
      "message", "VuveradaradCrashSubmissionPromptMessage",
      "Looks like we crashed! Please help us fix the problem by sending a crash report.");
}
std::string VRDSettings::interactivePromptCancelTitle() const {
  return promptValueForSettingsKey("cancel_button_title", "VuveradaradCrashSubmissionCancelTitle", "Don't Send");
}
std::string VRDSettings::interactivePromptSendTitle() const {
  return promptValueForSettingsKey("send_button_title", "VuveradaradCrashSubmissionSendTitle", "Send");
}
std::string VRDSettings::interactivePromptAlwaysSendTitle() const {
  return promptValueForSettingsKey("always_send_button_title", "VuveradaradCrashSubmissionAlwaysSendTitle",
                                   "Always Send");
}

std::string VRDLocalizedString(std::string_view key, std::string_view table, std::string_view fallback) {
  const auto bundle = MainBundle::get();
  if (!bundle || !bundle->bundlePath) return std::string(fallback);
  const FileContents bytes =
      readFileContents(*bundle->bundlePath / (std::string(table) + ".strings"), kMaxStringsBytes);
  if (!bytes.ok()) return std::string(fallback);
  std::string error;
  const auto strings = plist::decodeDictionary(bytes.bytes, error);
  if (!strings) return std::string(fallback);
  const auto found = strings->find(key);
  if (found == strings->end() || found->second.get<std::string>() == nullptr) return std::string(fallback);
  return *found->second.get<std::string>();
}

}  // namespace crashreporting
